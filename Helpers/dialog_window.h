#pragma once
// A window object bound to a dialog resource, in the manner of the dialog
// class templates of the usual Win32 frameworks: the object attaches itself
// to its HWND when the dialog is created, every message goes to one member
// handler, and the handler says whether the system's default dialog
// processing runs afterwards.
#include <windows.h>

class dialog_window {
public:
    dialog_window() = default;
    virtual ~dialog_window() = default;
    dialog_window(const dialog_window&) = delete;
    dialog_window& operator=(const dialog_window&) = delete;

    HWND hwnd() const { return hwnd_; }

    // Runs the dialog modally on the calling thread, as the system's dialog
    // box does: the parent's top-level window is disabled until the dialog
    // ends, keys go through IsDialogMessageW (Escape and Enter become the
    // cancel and OK commands), the dialog shows when its queue first runs
    // empty, and it is destroyed before this returns. Answers end_modal's
    // result (0 when the run ended otherwise), or -1 when the dialog could
    // not be created.
    INT_PTR run_modal(HINSTANCE module, int resource, HWND parent);
    // Creates the dialog modeless (CreateDialogParamW); null on failure.
    HWND create_modeless(HINSTANCE module, int resource, HWND parent);

protected:
    // One message. Answer true when it is handled and the default processing
    // must not run, with `result` as the message's answer; false lets the
    // default processing run.
    virtual bool on_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) = 0;
    // Called after the last message (WM_NCDESTROY), when the HWND is gone.
    virtual void on_final_message() {}

    // Ends a modal run (instead of EndDialog, which the loop cannot see):
    // the owner is enabled and the dialog hidden at once, and the loop
    // destroys it once the current message is handled.
    void end_modal(INT_PTR result);

    // Every step of a modal run goes through here: creating the dialog,
    // waiting for a message, handling one (`message`; null for the other
    // steps) and destroying the dialog. The system calls the procedure of
    // any window of the thread from inside each of them, so a dialog that
    // hosts windows of foreign code can run the steps inside a frame of its
    // own. Answering false ends the run, as end_modal does. The default runs
    // the step as it is.
    virtual bool run_step(const MSG* message, void (*step)(void*), void* context);

private:
    static INT_PTR CALLBACK dialog_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    void run_modal_loop(HWND window);
    void destroy_after_modal_run(HWND window);

    HWND hwnd_ = nullptr;
    bool modal_ended_ = false;
    INT_PTR modal_result_ = 0;
};

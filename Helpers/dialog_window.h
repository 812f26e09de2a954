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

    // Runs the dialog modally on the calling thread (DialogBoxParamW) and
    // answers EndDialog's result, or -1 when the dialog could not be created.
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

private:
    static INT_PTR CALLBACK dialog_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    HWND hwnd_ = nullptr;
};

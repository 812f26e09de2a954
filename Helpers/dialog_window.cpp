#include "dialog_window.h"

namespace {

// Messages whose answer is the dialog procedure's own return value rather
// than DWLP_MSGRESULT.
bool answers_directly(UINT message) {
    switch (message) {
        case WM_INITDIALOG:
        case WM_CHARTOITEM:
        case WM_COMPAREITEM:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
        case WM_QUERYDRAGICON:
        case WM_VKEYTOITEM:
            return true;
        default:
            return false;
    }
}

// The system's modal run disables the top-level window its parent belongs
// to (none for the desktop) before the dialog is created. EndDialog enables
// it again; this does when the run ended another way.
class disabled_owner {
public:
    explicit disabled_owner(HWND parent) {
        if (!parent || parent == GetDesktopWindow()) return;
        owner_ = GetAncestor(parent, GA_ROOT);
        if (!owner_ || !IsWindowEnabled(owner_)) return;
        EnableWindow(owner_, FALSE);
        disabled_ = true;
        if (HWND captured = GetCapture()) SendMessageW(captured, WM_CANCELMODE, 0, 0);
    }
    ~disabled_owner() {
        if (disabled_ && IsWindow(owner_) && !IsWindowEnabled(owner_)) EnableWindow(owner_, TRUE);
    }
    disabled_owner(const disabled_owner&) = delete;
    disabled_owner& operator=(const disabled_owner&) = delete;

private:
    HWND owner_ = nullptr;
    bool disabled_ = false;
};

template <class F>
void call(void* f) {
    (*static_cast<F*>(f))();
}

}  // namespace

INT_PTR dialog_window::run_modal(HINSTANCE module, int resource, HWND parent) {
    modal_ended_ = false;
    modal_result_ = 0;
    disabled_owner owner(parent);
    HWND window = nullptr;
    auto create = [&] {
        window = CreateDialogParamW(module, MAKEINTRESOURCEW(resource), parent, dialog_proc,
                                    reinterpret_cast<LPARAM>(this));
    };
    const bool created = run_step(nullptr, call<decltype(create)>, &create);
    // A creation abandoned after WM_INITDIALOG still left a window to destroy.
    if (!window) window = hwnd_;
    if (!window) return -1;
    if (created) run_modal_loop(window);
    destroy_after_modal_run(window);
    return modal_result_;
}

// The system's dialog loop, step for step.
void dialog_window::run_modal_loop(HWND window) {
    bool shown = false;
    auto show = [&] {
        ShowWindow(window, SW_SHOWNORMAL);
        shown = true;
    };
    while (!modal_ended_) {
        MSG message{};
        BOOL got = TRUE;
        auto wait = [&] {
            if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) return;
            // The dialog shows the first time its queue runs empty.
            if (!shown) show();
            HWND owner = GetWindow(window, GW_OWNER);
            if (owner && !(GetWindowLongPtrW(window, GWL_STYLE) & DS_NOIDLEMSG))
                SendMessageW(owner, WM_ENTERIDLE, MSGF_DIALOGBOX, reinterpret_cast<LPARAM>(window));
            got = GetMessageW(&message, nullptr, 0, 0);
        };
        if (!run_step(nullptr, call<decltype(wait)>, &wait) || got == -1 || !IsWindow(window)) return;
        if (message.message == WM_QUIT) {
            // The loop that runs the thread ends too.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        if (modal_ended_) return;
        auto handle = [&] {
            if (!IsDialogMessageW(window, &message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            // A dialog whose queue never runs empty shows at its first timer.
            if (!shown && !modal_ended_ && message.message == WM_TIMER && IsWindow(window)) show();
        };
        if (!run_step(&message, call<decltype(handle)>, &handle)) return;
    }
}

void dialog_window::destroy_after_modal_run(HWND window) {
    auto end_and_destroy = [&] {
        if (!modal_ended_) end_modal(modal_result_);
        DestroyWindow(window);
    };
    run_step(nullptr, call<decltype(end_and_destroy)>, &end_and_destroy);
    if (!IsWindow(window)) return;
    // Its destruction was abandoned halfway: nothing may reach this object
    // through what is left of the window, which goes now.
    SetWindowLongPtrW(window, DWLP_USER, 0);
    hwnd_ = nullptr;
    auto destroy = [&] { DestroyWindow(window); };
    run_step(nullptr, call<decltype(destroy)>, &destroy);
}

void dialog_window::end_modal(INT_PTR result) {
    modal_result_ = result;
    modal_ended_ = true;
    // Enables the owner, hides the dialog and hands activation back, as at
    // the end of the system's own modal run.
    if (hwnd_) EndDialog(hwnd_, result);
}

bool dialog_window::run_step(const MSG*, void (*step)(void*), void* context) {
    step(context);
    return true;
}

HWND dialog_window::create_modeless(HINSTANCE module, int resource, HWND parent) {
    return CreateDialogParamW(module, MAKEINTRESOURCEW(resource), parent, dialog_proc,
                              reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK dialog_window::dialog_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* self = reinterpret_cast<dialog_window*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<dialog_window*>(lparam);
        SetWindowLongPtrW(hwnd, DWLP_USER, lparam);
        self->hwnd_ = hwnd;
    }
    // Messages before WM_INITDIALOG (WM_SETFONT, WM_NCCREATE...) find no
    // object yet and get the default processing.
    if (!self) return FALSE;

    LRESULT result = 0;
    const bool handled = self->on_message(message, wparam, lparam, result);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        self->hwnd_ = nullptr;
        self->on_final_message();
        return FALSE;
    }
    if (!handled) return FALSE;
    if (answers_directly(message)) return static_cast<INT_PTR>(result);
    SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
}

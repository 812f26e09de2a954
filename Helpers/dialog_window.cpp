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

}  // namespace

INT_PTR dialog_window::run_modal(HINSTANCE module, int resource, HWND parent) {
    return DialogBoxParamW(module, MAKEINTRESOURCEW(resource), parent, dialog_proc,
                           reinterpret_cast<LPARAM>(this));
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

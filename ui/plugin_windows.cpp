#include "plugin_windows.h"

namespace {

BOOL CALLBACK silence(HWND window, LPARAM) {
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcW));
    return TRUE;
}

// Popups the plug-in opened over its editor (menus, tool tips, dialogs of
// its own) are top-level windows that the editor owns.
BOOL CALLBACK silence_if_owned(HWND window, LPARAM editor) {
    for (HWND owner = GetWindow(window, GW_OWNER); owner; owner = GetWindow(owner, GW_OWNER))
        if (owner == reinterpret_cast<HWND>(editor)) {
            silence(window, 0);
            EnumChildWindows(window, silence, 0);
            break;
        }
    return TRUE;
}

}  // namespace

void silence_plugin_windows(HWND editor) {
    if (!editor || !IsWindow(editor)) return;
    EnumChildWindows(editor, silence, 0);
    EnumThreadWindows(GetCurrentThreadId(), silence_if_owned, reinterpret_cast<LPARAM>(editor));
}

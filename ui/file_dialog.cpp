#include "file_dialog.h"

#include <commdlg.h>

#include "../Helpers/windowing_calls.h"
#include "../shell/popups.h"

namespace {
constexpr DWORD k_flags = OFN_ENABLESIZING | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;  // 0x801800
// The player's 32-bit build passes the full record; the size follows the
// pointer width on x64.
static_assert(sizeof(void*) != 4 || sizeof(OPENFILENAMEW) == 88, "the file dialog record of the x86 build");
}  // namespace

std::wstring ask_file_name(HWND owner, bool save, const wchar_t* filter, const wchar_t* default_extension) {
    wchar_t path[MAX_PATH] = {};
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = path;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrDefExt = default_extension;
    ofn.Flags = k_flags;

    const late_bound<get_file_name_function>& dialog = save ? g_get_save_file_name : g_get_open_file_name;
    const get_file_name_function show_dialog = dialog.get();
    if (!show_dialog) {
        show_popup("Cannot show the file dialog: " + dialog.failure() + ".", k_title_error, popup_message::icon_error);
        return {};
    }
    if (!show_dialog(&ofn)) return {};
    return path;
}

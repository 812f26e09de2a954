#include "folder_dialog.h"

#include <shlobj.h>

#include "../Helpers/windowing_calls.h"
#include "../shell/popups.h"

namespace {

// The chooser's own thread: once it is up, the start folder is selected.
int CALLBACK on_chooser_event(HWND window, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED && data) SendMessageW(window, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

}  // namespace

std::wstring ask_folder(HWND owner, const wchar_t* prompt, const std::wstring& start) {
    const browse_for_folder_function browse = g_browse_for_folder.get();
    const path_from_id_list_function path_of = g_path_from_id_list.get();
    const free_id_list_function free_list = g_free_id_list.get();
    if (!browse || !path_of || !free_list) {
        const std::string why = !browse ? g_browse_for_folder.failure()
                                : !path_of ? g_path_from_id_list.failure()
                                           : g_free_id_list.failure();
        show_popup("Cannot show the folder chooser: " + why + ".", k_title_error, popup_message::icon_error);
        return {};
    }
    const DWORD attributes = start.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(start.c_str());
    const bool has_start = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.lpszTitle = prompt;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN;
    info.lpfn = on_chooser_event;
    info.lParam = has_start ? reinterpret_cast<LPARAM>(start.c_str()) : 0;
    PIDLIST_ABSOLUTE chosen = browse(&info);
    if (!chosen) return {};
    wchar_t path[MAX_PATH] = {};
    const bool named = path_of(chosen, path) != FALSE;
    free_list(chosen);
    if (!named) return {};
    return path;
}

#include "windowing_calls.h"

#include <uxtheme.h>

#include <type_traits>

// A wrong calling convention would still compile and link, and break the
// x86 build's stack at the first call.
static_assert(std::is_same_v<get_file_name_function, decltype(&GetOpenFileNameW)>);
static_assert(std::is_same_v<get_file_name_function, decltype(&GetSaveFileNameW)>);
static_assert(std::is_same_v<set_window_theme_function, decltype(&SetWindowTheme)>);
static_assert(std::is_same_v<init_common_controls_function, decltype(&InitCommonControlsEx)>);
static_assert(std::is_same_v<browse_for_folder_function, decltype(&SHBrowseForFolderW)>);
static_assert(std::is_same_v<path_from_id_list_function, decltype(&SHGetPathFromIDListW)>);
static_assert(std::is_same_v<free_id_list_function, decltype(&ILFree)>);

const late_bound<get_file_name_function> g_get_open_file_name{L"comdlg32.dll", "GetOpenFileNameW"};
const late_bound<get_file_name_function> g_get_save_file_name{L"comdlg32.dll", "GetSaveFileNameW"};
const late_bound<set_window_theme_function> g_set_window_theme{L"uxtheme.dll", "SetWindowTheme"};
const late_bound<init_common_controls_function> g_init_common_controls{L"comctl32.dll", "InitCommonControlsEx"};
const late_bound<browse_for_folder_function> g_browse_for_folder{L"shell32.dll", "SHBrowseForFolderW"};
const late_bound<path_from_id_list_function> g_path_from_id_list{L"shell32.dll", "SHGetPathFromIDListW"};
const late_bound<free_id_list_function> g_free_id_list{L"shell32.dll", "ILFree"};

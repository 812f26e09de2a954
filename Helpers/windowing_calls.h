#pragma once
// The few functions of the windowing libraries that the component and the
// tool call, each bound late (late_bound.h): they are needed only once a
// window opens. Each type names its calling convention; the source file
// checks it against the system headers.
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

#include "late_bound.h"

using get_file_name_function = BOOL(WINAPI*)(OPENFILENAMEW*);
using set_window_theme_function = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
using init_common_controls_function = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
using browse_for_folder_function = PIDLIST_ABSOLUTE(WINAPI*)(LPBROWSEINFOW);
using path_from_id_list_function = BOOL(WINAPI*)(PCIDLIST_ABSOLUTE, LPWSTR);
using free_id_list_function = void(WINAPI*)(PIDLIST_RELATIVE);

extern const late_bound<get_file_name_function> g_get_open_file_name;   // comdlg32 GetOpenFileNameW
extern const late_bound<get_file_name_function> g_get_save_file_name;   // comdlg32 GetSaveFileNameW
extern const late_bound<set_window_theme_function> g_set_window_theme;  // uxtheme SetWindowTheme
// Registers the list view and tree view classes: before either is made.
extern const late_bound<init_common_controls_function> g_init_common_controls;  // comctl32 InitCommonControlsEx
// The folder chooser: shell32 SHBrowseForFolderW, SHGetPathFromIDListW, ILFree.
extern const late_bound<browse_for_folder_function> g_browse_for_folder;
extern const late_bound<path_from_id_list_function> g_path_from_id_list;
extern const late_bound<free_id_list_function> g_free_id_list;

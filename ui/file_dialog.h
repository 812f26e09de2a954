#pragma once
// The component's one way of asking the user for a file: the system's open
// or save dialog with a single filter and the flags both of our dialogs use
// (resizable, the file and its path must exist).
#include <windows.h>

#include <string>

// Window thread. The chosen path, or empty when the user cancelled or the
// dialog could not be shown (the user is then told why).
std::wstring ask_file_name(HWND owner, bool save, const wchar_t* filter, const wchar_t* default_extension);

#pragma once
// The component's way of asking the user for a folder: the system's folder
// chooser, file-system folders only.
#include <windows.h>

#include <string>

// Window thread. The chosen folder, or empty when the user cancelled or the
// chooser could not be shown (the user is then told why). `start` is the
// folder shown selected at first, when it exists.
std::wstring ask_folder(HWND owner, const wchar_t* prompt, const std::wstring& start);

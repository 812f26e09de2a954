#pragma once
// Looks at real windows from a test: finds them, reads their texts, sizes,
// menus and pixels, and waits for them to change.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Polls `done` until it answers true or `timeout_ms` has passed.
bool wait_until(const std::function<bool()>& done, int timeout_ms = 10000);

// A visible top-level dialog of this process (or of `process`) with this
// title (any title when null), optionally only of one thread and other than
// `except`.
HWND find_dialog(const wchar_t* title, DWORD thread = 0, HWND except = nullptr, DWORD process = 0);
// A visible top-level window of `process` with this window class.
HWND find_window_of_class(DWORD process, const wchar_t* window_class);
// A visible top-level dialog of this process owned by `owner`.
HWND find_owned_dialog(HWND owner);

// Answers an open or save dialog as a user does: types `path` into its file
// name box and presses OK. A dialog still starting up may put its own name
// back over ours, and on a loaded machine that takes a while: the answer is
// given again until the dialog has closed. An empty path presses Cancel.
bool answer_file_dialog(HWND dialog, const std::wstring& path, int timeout_ms = 30000);

std::wstring window_text(HWND window);
SIZE client_size(HWND window);
POINT top_left(HWND window);

struct menu_entry {
    UINT id;
    std::wstring text;  // empty for a separator
    UINT state;         // MFS_ flags
};
std::vector<menu_entry> menu_entries(HMENU menu);

// The colour the screen shows at a client point of the window.
COLORREF client_pixel(HWND window, int x, int y);
// The colour the whole screen shows at that point, whichever window (of
// whichever process) covers it there.
COLORREF screen_pixel(HWND window, int x, int y);
// A visible top-level window of `process` owned by `owner`.
HWND find_owned_window(DWORD process, HWND owner);

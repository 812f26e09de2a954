#include "window_probe.h"

#include <dlgs.h>

#include <chrono>
#include <thread>

bool wait_until(const std::function<bool()>& done, int timeout_ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        if (done()) return true;
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool answer_file_dialog(HWND dialog, const std::wstring& path, int timeout_ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (IsWindow(dialog) && std::chrono::steady_clock::now() < end) {
        HWND name = GetDlgItem(dialog, cmb13);
        if (!name) name = GetDlgItem(dialog, edt1);
        if (IsWindowVisible(dialog) && IsWindowEnabled(dialog)) {
            if (path.empty()) {
                PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            } else if (name) {
                SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
                PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
            }
        }
        wait_until([&] { return !IsWindow(dialog); }, 2000);
    }
    return !IsWindow(dialog);
}

namespace {

struct dialog_search {
    std::function<bool(HWND)> matches;
    DWORD process;
    const wchar_t* window_class;
    HWND found = nullptr;
};

BOOL CALLBACK visit(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<dialog_search*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t cls[32] = {};
    GetClassNameW(window, cls, 32);
    if (process == search->process && std::wstring(cls) == search->window_class && IsWindowVisible(window) &&
        search->matches(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND search(std::function<bool(HWND)> matches, DWORD process = 0, const wchar_t* window_class = L"#32770") {
    dialog_search s{std::move(matches), process ? process : GetCurrentProcessId(), window_class};
    EnumWindows(visit, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

}  // namespace

HWND find_dialog(const wchar_t* title, DWORD thread, HWND except, DWORD process) {
    return search(
        [&](HWND w) {
            return w != except && (!thread || GetWindowThreadProcessId(w, nullptr) == thread) &&
                   (!title || window_text(w) == title);
        },
        process);
}

HWND find_window_of_class(DWORD process, const wchar_t* window_class) {
    return search([](HWND) { return true; }, process, window_class);
}

namespace {

struct owned_search {
    DWORD process;
    HWND owner;
    HWND found;
};

BOOL CALLBACK visit_owned(HWND w, LPARAM p) {
    auto* s = reinterpret_cast<owned_search*>(p);
    DWORD id = 0;
    GetWindowThreadProcessId(w, &id);
    if (id != s->process || GetWindow(w, GW_OWNER) != s->owner || !IsWindowVisible(w)) return TRUE;
    s->found = w;
    return FALSE;
}

}  // namespace

HWND find_owned_window(DWORD process, HWND owner) {
    owned_search s{process, owner, nullptr};
    EnumWindows(visit_owned, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND find_owned_dialog(HWND owner) {
    return search([&](HWND w) { return GetWindow(w, GW_OWNER) == owner; });
}

std::wstring window_text(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

SIZE client_size(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    return {r.right - r.left, r.bottom - r.top};
}

POINT top_left(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return {r.left, r.top};
}

std::vector<menu_entry> menu_entries(HMENU menu) {
    std::vector<menu_entry> out;
    const int n = GetMenuItemCount(menu);
    for (int i = 0; i < n; ++i) {
        wchar_t text[128] = {};
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_STRING | MIIM_STATE;
        info.dwTypeData = text;
        info.cch = 127;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        out.push_back({info.wID, text, info.fState});
    }
    return out;
}

COLORREF client_pixel(HWND window, int x, int y) {
    HDC screen = GetDC(window);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 1, 1);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, 1, 1, screen, x, y, SRCCOPY);
    COLORREF c = GetPixel(memory, 0, 0);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, screen);
    return c;
}

COLORREF screen_pixel(HWND window, int x, int y) {
    POINT at{x, y};
    ClientToScreen(window, &at);
    HDC screen = GetDC(nullptr);
    const COLORREF c = GetPixel(screen, at.x, at.y);
    ReleaseDC(nullptr, screen);
    return c;
}

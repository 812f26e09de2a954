#pragma once
// One-line owners for the Win32 handles the component keeps.
#include <windows.h>

#include <cstddef>
#include <memory>
#include <type_traits>

struct handle_closer {
    void operator()(HANDLE h) const noexcept { if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h); }
};
struct module_closer {
    void operator()(HMODULE h) const noexcept { if (h) FreeLibrary(h); }
};
struct window_closer {
    void operator()(HWND h) const noexcept { if (h) DestroyWindow(h); }
};
struct view_unmapper {
    void operator()(void* view) const noexcept { if (view) UnmapViewOfFile(view); }
};

using unique_handle = std::unique_ptr<std::remove_pointer_t<HANDLE>, handle_closer>;
using unique_module = std::unique_ptr<std::remove_pointer_t<HMODULE>, module_closer>;
using unique_hwnd = std::unique_ptr<std::remove_pointer_t<HWND>, window_closer>;
// A view of a file mapping; null when it could not be mapped.
using unique_view = std::unique_ptr<void, view_unmapper>;

inline unique_view map_view(HANDLE mapping, DWORD access, std::size_t bytes) {
    return unique_view(mapping ? MapViewOfFile(mapping, access, 0, 0, bytes) : nullptr);
}

// CreateFileW answers INVALID_HANDLE_VALUE, not null, on failure.
inline unique_handle make_file_handle(HANDLE h) {
    return unique_handle(h == INVALID_HANDLE_VALUE ? nullptr : h);
}

#include "shown_path.h"

#include <windows.h>

#include "../Helpers/utf.h"

namespace {

// Wine's kernel32 answers the Unix name of a Windows path in memory of the
// process heap. Looked up, not imported: Windows has no such function.
using unix_file_name_function = char*(__cdecl*)(const wchar_t*);

unix_file_name_function unix_file_name() {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return kernel ? reinterpret_cast<unix_file_name_function>(
                        reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_unix_file_name")))
                  : nullptr;
}

}  // namespace

std::string shown_path(const std::wstring& windows_path) {
    std::string shown = wide_to_utf8(windows_path);
    static const unix_file_name_function to_unix = unix_file_name();
    if (!to_unix || windows_path.empty()) return shown;
    wchar_t full[MAX_PATH] = {};
    const DWORD n = GetFullPathNameW(windows_path.c_str(), MAX_PATH, full, nullptr);
    if (n == 0 || n >= MAX_PATH) return shown;
    if (char* unix_path = to_unix(full)) {
        if (*unix_path && shown != unix_path) shown += std::string(" (") + unix_path + ")";
        HeapFree(GetProcessHeap(), 0, unix_path);
    }
    return shown;
}

#include "module_path.h"

#include <windows.h>

#include <shlwapi.h>

#include "../Helpers/utf.h"

std::string resolve_module_path(const std::string& configured) {
    std::wstring path = utf8_to_wide(configured);
    if (path.size() >= MAX_PATH || !PathIsRelativeW(path.c_str())) return configured;
    wchar_t folder[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, folder, MAX_PATH);
    PathRemoveFileSpecW(folder);
    wchar_t joined[MAX_PATH] = {};
    if (!PathCombineW(joined, folder, path.c_str())) return configured;
    return wide_to_utf8(joined);
}

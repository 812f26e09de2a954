#include "call_log.h"

#include <cwchar>

call_log_area* open_call_log(const std::wstring& dll_name) {
    wchar_t session[64] = {};
    if (!GetEnvironmentVariableW(L"ORVANE_TEST_SESSION", session, 64))
        std::swprintf(session, 64, L"%lu", GetCurrentProcessId());
    std::wstring name = L"Local\\orvane-test-log-" + std::wstring(session) + L"-";
    for (wchar_t c : dll_name) name += (c == L'\\' ? L'_' : static_cast<wchar_t>(towlower(c)));
    // Never closed: the log lives as long as the process that mapped it.
    HANDLE mapping =
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(call_log_area), name.c_str());
    if (!mapping) return nullptr;
    return static_cast<call_log_area*>(MapViewOfFile(mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0));
}

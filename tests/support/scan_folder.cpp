#include "scan_folder.h"

#include <tlhelp32.h>

#include "../../Helpers/win32_handles.h"
#include "window_probe.h"

bool copy_file_to(const std::wstring& from, const std::wstring& to) {
    return CopyFileW(from.c_str(), to.c_str(), FALSE) != FALSE;
}

namespace {

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A Windows path as Wine's Unix side names it, or empty outside Wine.
std::string unix_path(const std::wstring& path) {
    using to_unix = char*(CDECL*)(LPCWSTR);
    const auto convert = reinterpret_cast<to_unix>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* converted = convert ? convert(path.c_str()) : nullptr;
    if (!converted) return {};
    std::string out = converted;
    HeapFree(GetProcessHeap(), 0, converted);
    return out;
}

// Runs a Unix program under Wine. Its handle says nothing of its end: the
// caller waits for what it does.
bool run_unix(const std::wstring& program, const std::string& line) {
    if (!exists(program)) return false;
    std::wstring wide(line.begin(), line.end());
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(program.c_str(), wide.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

}  // namespace

folder_link::folder_link(const std::wstring& link, const std::wstring& target) : link_(link) {
    if (CreateSymbolicLinkW(link.c_str(), target.c_str(),
                            SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) &&
        exists(link)) {
        made_ = true;
        return;
    }
    const std::string from = unix_path(target), to = unix_path(link);
    if (from.empty() || to.empty()) return;
    unix_ = true;
    made_ = run_unix(L"Z:\\bin\\ln", "ln -s \"" + from + "\" \"" + to + "\"") &&
            wait_until([&] { return exists(link); }, 10000);
}

folder_link::~folder_link() {
    if (!made_) return;
    if (!unix_) {
        RemoveDirectoryW(link_.c_str());
        return;
    }
    if (run_unix(L"Z:\\bin\\rm", "rm \"" + unix_path(link_) + "\"")) wait_until([&] { return !exists(link_); }, 10000);
}

std::vector<DWORD> running_bridges(DWORD parent) {
    std::vector<DWORD> found;
    unique_handle snapshot = make_file_handle(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return found;
    PROCESSENTRY32W p{};
    p.dwSize = sizeof p;
    for (BOOL more = Process32FirstW(snapshot.get(), &p); more; more = Process32NextW(snapshot.get(), &p)) {
        const std::wstring exe = p.szExeFile;
        if (p.th32ParentProcessID != parent || exe.find(L"orvane_bridge") == std::wstring::npos) continue;
        // An entry of a process that has just ended may linger in the list.
        HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, p.th32ProcessID);
        if (!h) continue;
        if (WaitForSingleObject(h, 0) == WAIT_TIMEOUT) found.push_back(p.th32ProcessID);
        CloseHandle(h);
    }
    return found;
}

std::vector<std::wstring> bridged_modules(DWORD parent) {
    std::vector<std::wstring> names;
    for (DWORD bridge : running_bridges(parent)) {
        unique_handle snapshot =
            make_file_handle(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, bridge));
        if (!snapshot) continue;
        MODULEENTRY32W m{};
        m.dwSize = sizeof m;
        for (BOOL more = Module32FirstW(snapshot.get(), &m); more; more = Module32NextW(snapshot.get(), &m))
            names.push_back(m.szModule);
    }
    return names;
}

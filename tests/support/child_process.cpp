#include "child_process.h"

#include <windows.h>

#include <cwchar>

#include "../../Helpers/utf.h"
#include "../../Helpers/win32_handles.h"
#include "test_paths.h"

namespace {

// The child writes to files rather than pipes: a pipe reads to its end only
// when every copy of its write handle is closed, and a helper process of the
// system may hold one longer than the child lives.
unique_handle inheritable_file(const std::wstring& path) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    return make_file_handle(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::string text_of(const std::wstring& path) {
    std::vector<unsigned char> b = read_file_bytes(path);
    return std::string(b.begin(), b.end());
}

// The test's environment with TEMP and TMP pointing at `temp` (unless
// empty) and the `extra` variables added.
std::vector<wchar_t> environment_for(const std::wstring& temp, const std::vector<std::wstring>& extra) {
    std::vector<wchar_t> block;
    wchar_t* all = GetEnvironmentStringsW();
    for (const wchar_t* p = all; *p; p += wcslen(p) + 1) {
        std::wstring var = p;
        std::wstring name = var.substr(0, var.find(L'='));
        if (!temp.empty() && (lstrcmpiW(name.c_str(), L"TEMP") == 0 || lstrcmpiW(name.c_str(), L"TMP") == 0))
            continue;
        block.insert(block.end(), var.begin(), var.end());
        block.push_back(L'\0');
    }
    FreeEnvironmentStringsW(all);
    std::vector<std::wstring> added = extra;
    if (!temp.empty()) added.insert(added.end(), {L"TEMP=" + temp, L"TMP=" + temp});
    for (const std::wstring& var : added) {
        block.insert(block.end(), var.begin(), var.end());
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

}  // namespace

tool_run run_orvane(const std::vector<std::wstring>& arguments, const run_place& place) {
    return run_orvane_driven(arguments, {}, place);
}

tool_run run_orvane_driven(const std::vector<std::wstring>& arguments,
                           const std::function<void(unsigned long process_id)>& drive, const run_place& place) {
    const std::wstring exe = place.program.empty() ? bin_folder() + L"orvane.exe" : place.program;
    std::wstring line = L"\"" + exe + L"\"";
    for (const std::wstring& a : arguments) line += L" \"" + a + L"\"";

    temp_folder capture;
    tool_run run;
    {
        unique_handle out = inheritable_file(capture.file(L"out.txt"));
        unique_handle err = inheritable_file(capture.file(L"err.txt"));
        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = out.get();
        si.hStdError = err.get();
        PROCESS_INFORMATION pi{};
        std::vector<wchar_t> env;
        if (!place.temp_folder.empty() || !place.environment.empty())
            env = environment_for(place.temp_folder, place.environment);
        const DWORD console = place.own_console ? CREATE_NEW_CONSOLE : CREATE_NO_WINDOW;
        // Wine now and then refuses to start a program copied a moment
        // before (the copy's file is still being let go of): a few more
        // tries, then the reason where the test shows the tool's errors.
        DWORD refused = 0;
        for (int attempt = 0; attempt < 5; ++attempt) {
            if (CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, TRUE, console | CREATE_UNICODE_ENVIRONMENT,
                               env.empty() ? nullptr : env.data(),
                               place.working_folder.empty() ? nullptr : place.working_folder.c_str(), &si, &pi)) {
                refused = 0;
                break;
            }
            refused = GetLastError();
            Sleep(100);
        }
        if (refused) {
            run.err = "the test could not start " + wide_to_utf8(exe) + ": error " + std::to_string(refused);
            return run;
        }
        unique_handle process(pi.hProcess), thread(pi.hThread);
        if (drive) {
            drive(pi.dwProcessId);
            if (WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0) TerminateProcess(process.get(), 99);
        }
        WaitForSingleObject(process.get(), INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(process.get(), &code);
        run.exit_code = static_cast<int>(code);
    }
    run.out = text_of(capture.file(L"out.txt"));
    run.err = text_of(capture.file(L"err.txt"));
    return run;
}

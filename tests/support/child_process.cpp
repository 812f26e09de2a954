#include "child_process.h"

#include <windows.h>

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

}  // namespace

tool_run run_orvane(const std::vector<std::wstring>& arguments) { return run_orvane(arguments, nullptr); }

tool_run run_orvane(const std::vector<std::wstring>& arguments, const std::function<void(DWORD)>& meanwhile) {
    std::wstring exe = bin_folder() + L"orvane.exe";
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
        if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                            &si, &pi))
            return run;
        unique_handle process(pi.hProcess), thread(pi.hThread);
        if (meanwhile) meanwhile(pi.dwProcessId);
        WaitForSingleObject(process.get(), INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(process.get(), &code);
        run.exit_code = static_cast<int>(code);
    }
    run.out = text_of(capture.file(L"out.txt"));
    run.err = text_of(capture.file(L"err.txt"));
    return run;
}

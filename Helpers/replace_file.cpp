#include "replace_file.h"

#include <atomic>
#include <cstdio>

#include "win32_handles.h"

namespace {

// The error of the call that just failed; a failure is never reported as success.
DWORD failure() {
    const DWORD e = GetLastError();
    return e != ERROR_SUCCESS ? e : ERROR_WRITE_FAULT;
}

// A name beside `path` that no earlier attempt, in this process or another,
// left behind: a leftover (even a read-only one) only costs another try.
unique_handle create_beside(const std::wstring& path, std::wstring& name, DWORD& error) {
    static std::atomic<unsigned> sequence{0};
    const unsigned process = GetCurrentProcessId();
    for (int attempt = 0; attempt < 64; ++attempt) {
        wchar_t suffix[32];
        std::swprintf(suffix, sizeof suffix / sizeof suffix[0], L".%x-%x.tmp", process,
                      static_cast<unsigned>(sequence.fetch_add(1) ^ GetTickCount()));
        name = path + suffix;
        unique_handle file = make_file_handle(
            CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) return file;
        error = failure();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS && error != ERROR_ACCESS_DENIED) break;
    }
    name.clear();
    return nullptr;
}

bool write_all(HANDLE file, const std::vector<unsigned char>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::size_t left = bytes.size() - done;
        const DWORD chunk = left > 0x10000000 ? 0x10000000 : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr)) return false;
        if (written == 0) {
            SetLastError(ERROR_DISK_FULL);
            return false;
        }
        done += written;
    }
    return true;
}

}  // namespace

DWORD replace_file_content(const std::wstring& path, const std::vector<unsigned char>& bytes) {
    std::wstring part;
    DWORD error = ERROR_SUCCESS;
    {
        unique_handle file = create_beside(path, part, error);
        if (!file) return error != ERROR_SUCCESS ? error : ERROR_CANNOT_MAKE;
        if (!write_all(file.get(), bytes) || !FlushFileBuffers(file.get())) error = failure();
    }
    if (error == ERROR_SUCCESS &&
        !MoveFileExW(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = failure();
    if (error != ERROR_SUCCESS) DeleteFileW(part.c_str());
    return error;
}

#include "part_file.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdint>
#include <cwchar>

#include "../Helpers/utf.h"
#include "cli_error.h"

namespace {

std::uint64_t mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

}  // namespace

part_file create_part_file(const std::wstring& output) {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    std::uint64_t seed = static_cast<std::uint64_t>(now.QuadPart) ^ (std::uint64_t{GetCurrentProcessId()} << 32);
    DWORD error = ERROR_FILE_EXISTS;
    // CREATE_NEW makes the name ours; the random part only keeps tries few.
    for (int attempt = 0; attempt < 64 && (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS); ++attempt) {
        seed = mix(seed + static_cast<std::uint64_t>(attempt));
        wchar_t suffix[16];
        std::swprintf(suffix, 16, L".%08x.part", static_cast<unsigned>(seed));
        std::wstring path = output + suffix;
        // Deletable while open, so that an interrupted run can remove it.
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                               CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            error = GetLastError();
            continue;
        }
        // The system deletes it as the last handle closes, however the
        // process ends, unless the run is complete (keep_part_file).
        FILE_DISPOSITION_INFO gone{TRUE};
        SetFileInformationByHandle(h, FileDispositionInfo, &gone, sizeof gone);
        int fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(h), _O_BINARY | _O_WRONLY);
        std::FILE* file = fd >= 0 ? _fdopen(fd, "wb") : nullptr;
        if (!file) {
            if (fd >= 0) _close(fd);
            else CloseHandle(h);
            DeleteFileW(path.c_str());
            break;
        }
        return {path, file, h};
    }
    throw cli_error("cannot create a file beside the output " + wide_to_utf8(output));
}

bool keep_part_file(const part_file& part) {
    FILE_DISPOSITION_INFO stays{FALSE};
    return part.handle && SetFileInformationByHandle(part.handle, FileDispositionInfo, &stays, sizeof stays);
}

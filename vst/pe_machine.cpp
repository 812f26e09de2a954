#include "pe_machine.h"

#include <windows.h>

#include "../Helpers/win32_handles.h"

namespace {

bool read_at(HANDLE file, std::uint32_t offset, void* out, DWORD size) {
    LARGE_INTEGER at;
    at.QuadPart = offset;
    DWORD got = 0;
    return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && ReadFile(file, out, size, &got, nullptr) &&
           got == size;
}

// Where a PE header may start: the DOS header points at it, and no real
// image puts it beyond the first few kilobytes.
constexpr std::uint32_t k_farthest_header = 1 << 20;

}  // namespace

std::uint16_t pe_machine(const std::wstring& path) {
    unique_handle file = make_file_handle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return k_machine_unknown;
    IMAGE_DOS_HEADER dos{};
    if (!read_at(file.get(), 0, &dos, sizeof dos) || dos.e_magic != IMAGE_DOS_SIGNATURE) return k_machine_unknown;
    const auto at = static_cast<std::uint32_t>(dos.e_lfanew);
    if (dos.e_lfanew < 0 || at > k_farthest_header) return k_machine_unknown;
    struct {
        DWORD signature;
        IMAGE_FILE_HEADER file;
    } nt{};
    if (!read_at(file.get(), at, &nt, sizeof nt) || nt.signature != IMAGE_NT_SIGNATURE) return k_machine_unknown;
    return nt.file.Machine;
}

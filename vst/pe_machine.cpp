#include "pe_machine.h"

#include <windows.h>

#include <cstdio>

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

pe_image_info failed_read() {
    pe_image_info info;
    info.error = GetLastError();
    return info;
}

}  // namespace

pe_image_info pe_image(const std::wstring& path) {
    unique_handle file = make_file_handle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return failed_read();
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) return failed_read();
    pe_image_info info;
    if (size.QuadPart == 0) {
        info.what = pe_image_info::kind::empty;
        return info;
    }
    info.what = pe_image_info::kind::not_image;
    IMAGE_DOS_HEADER dos{};
    if (static_cast<std::uint64_t>(size.QuadPart) < sizeof dos) return info;
    if (!read_at(file.get(), 0, &dos, sizeof dos)) return failed_read();
    if (dos.e_magic != IMAGE_DOS_SIGNATURE) return info;
    const auto at = static_cast<std::uint32_t>(dos.e_lfanew);
    if (dos.e_lfanew < 0 || at > k_farthest_header) return info;
    struct {
        DWORD signature;
        IMAGE_FILE_HEADER file;
    } nt{};
    if (!read_at(file.get(), at, &nt, sizeof nt) || nt.signature != IMAGE_NT_SIGNATURE) return info;
    info.machine = nt.file.Machine;
    info.what = nt.file.Characteristics & IMAGE_FILE_DLL ? pe_image_info::kind::dll : pe_image_info::kind::program;
    return info;
}

std::uint16_t pe_machine(const std::wstring& path) {
    const pe_image_info info = pe_image(path);
    const bool image = info.what == pe_image_info::kind::dll || info.what == pe_image_info::kind::program;
    return image ? info.machine : k_machine_unknown;
}

std::string machine_name(std::uint16_t machine) {
    switch (machine) {
        case k_machine_x86: return "x86";
        case k_machine_x64: return "x64";
        case 0xAA64: return "ARM64";
        case 0x01C4: return "ARM";
        case 0x0200: return "IA-64";
        default: break;
    }
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(machine));
    return text;
}

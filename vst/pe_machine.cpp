#include "pe_machine.h"

#include <windows.h>

#include <cstdio>

#include "../Helpers/critical_section.h"
#include "../Helpers/never_destroyed.h"
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

namespace {

// The answers kept: a few more than the plug-ins anyone lists, each taking
// the place of the oldest when full.
struct known_machine {
    std::wstring path;
    std::uint64_t size = 0;
    std::uint64_t written = 0;
    std::uint16_t machine = k_machine_unknown;
};
constexpr std::size_t k_known_machines = 128;

struct machine_cache {
    critical_section lock;
    known_machine entries[k_known_machines];
    std::size_t next = 0;
};

machine_cache& cache() {
    static never_destroyed<machine_cache> kept;
    return kept.get();
}

std::uint16_t read_machine(const std::wstring& path) {
    const pe_image_info info = pe_image(path);
    const bool image = info.what == pe_image_info::kind::dll || info.what == pe_image_info::kind::program;
    return image ? info.machine : k_machine_unknown;
}

}  // namespace

std::uint16_t pe_machine(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attributes)) return read_machine(path);
    const std::uint64_t size = (std::uint64_t{attributes.nFileSizeHigh} << 32) | attributes.nFileSizeLow;
    const std::uint64_t written =
        (std::uint64_t{attributes.ftLastWriteTime.dwHighDateTime} << 32) | attributes.ftLastWriteTime.dwLowDateTime;
    machine_cache& known = cache();
    {
        critical_section_scope guard(known.lock);
        for (const known_machine& k : known.entries)
            if (k.size == size && k.written == written && k.path == path) return k.machine;
    }
    const std::uint16_t machine = read_machine(path);
    // Only a file that is one: what could not be read may be readable next
    // time.
    if (machine == k_machine_unknown) return machine;
    critical_section_scope guard(known.lock);
    known_machine& slot = known.entries[known.next];
    known.next = (known.next + 1) % k_known_machines;
    slot.path = path;
    slot.size = size;
    slot.written = written;
    slot.machine = machine;
    return machine;
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

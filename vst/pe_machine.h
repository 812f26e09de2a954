#pragma once
// The architecture a DLL is built for, read from its PE header before
// anything loads it: a DLL of the other architecture cannot be loaded into
// this process, only into a bridge of its own architecture.
#include <cstdint>
#include <string>

constexpr std::uint16_t k_machine_unknown = 0;
constexpr std::uint16_t k_machine_x86 = 0x014C;
constexpr std::uint16_t k_machine_x64 = 0x8664;

// What a file's headers say it is.
struct pe_image_info {
    enum class kind {
        unreadable,  // it could not be opened or read (`error` holds the system's code)
        empty,       // no bytes at all
        not_image,   // no DOS and PE header: no Windows program or DLL
        program,     // an image without the DLL mark
        dll,
    };
    kind what = kind::unreadable;
    std::uint16_t machine = k_machine_unknown;  // for program and dll
    std::uint32_t error = 0;                    // for unreadable
};

pe_image_info pe_image(const std::wstring& path);

// The machine field of the file's PE header; k_machine_unknown when the file
// cannot be read or is no PE image. Every acquisition of a plug-in asks,
// and reading the header costs an open and two reads: an answer is kept for
// the file as long as its size and last-write time stay the same (a DLL
// replaced by another is read again). Any thread.
std::uint16_t pe_machine(const std::wstring& path);

// The machine this code runs as.
constexpr std::uint16_t own_machine() { return sizeof(void*) == 8 ? k_machine_x64 : k_machine_x86; }

// "x86", "x64", "ARM64"..., or the field in hexadecimal for one we have no
// name for.
std::string machine_name(std::uint16_t machine);

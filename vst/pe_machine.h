#pragma once
// The architecture a DLL is built for, read from its PE header before
// anything loads it: a DLL of the other architecture cannot be loaded into
// this process, only into a bridge of its own architecture.
#include <cstdint>
#include <string>

constexpr std::uint16_t k_machine_unknown = 0;
constexpr std::uint16_t k_machine_x86 = 0x014C;
constexpr std::uint16_t k_machine_x64 = 0x8664;

// The machine field of the file's PE header; k_machine_unknown when the file
// cannot be read or is no PE image.
std::uint16_t pe_machine(const std::wstring& path);

// The machine this code runs as.
constexpr std::uint16_t own_machine() { return sizeof(void*) == 8 ? k_machine_x64 : k_machine_x86; }

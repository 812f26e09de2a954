#pragma once
// Copies of memory a plug-in hands us by pointer and size.
#include <cstdint>
#include <vector>

class vst;

// The largest chunk we take from a plug-in; a claim beyond it is nonsense
// (no effect keeps a quarter gigabyte of state) and gives nothing.
constexpr std::intptr_t k_max_plugin_chunk = 256 * 1024 * 1024;

// effGetChunk with the given index (0 bank, 1 program), copied. Empty when
// the plug-in answers no chunk, a negative or absurd size or a null pointer,
// or when its pointer does not hold the bytes it claims (then the plug-in
// has faulted and is switched off).
std::vector<unsigned char> take_plugin_chunk(vst& plugin, std::int32_t index);

#pragma once
// Copies of memory a plug-in hands us by pointer and size, and the one limit
// on a plug-in's state (its chunk) wherever it travels: captured, applied,
// saved to or loaded from a program file, handed to a process of its own.
#include <cstdint>
#include <vector>

class vst;

// A claim beyond this is nonsense or more than anyone can keep (no effect
// keeps a quarter gigabyte of state): it is refused, and said so.
constexpr std::intptr_t k_max_plugin_chunk = 256 * 1024 * 1024;

enum class chunk_taken {
    taken,    // `out` holds the chunk
    none,     // the plug-in answered no chunk: no size, a negative one, or a null pointer
    refused,  // more than k_max_plugin_chunk (the user is told, naming the plug-in and the size), or its
              // pointer did not hold the bytes it claimed (it faulted and was switched off)
};

// effGetChunk with the given index (0 bank, 1 program), copied into `out`.
chunk_taken take_plugin_chunk(vst& plugin, std::int32_t index, std::vector<unsigned char>& out);

// Whether a state of `size` bytes may be handed to the plug-in. When not,
// the user is told, naming the plug-in and the size; the plug-in keeps the
// state it has.
bool chunk_fits(const vst& plugin, std::uint64_t size);

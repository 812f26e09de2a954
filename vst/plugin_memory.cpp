#include "plugin_memory.h"

#include <cstring>

#include "vst.h"

std::vector<unsigned char> take_plugin_chunk(vst& plugin, std::int32_t index) {
    void* chunk = nullptr;
    const std::intptr_t size = plugin.dispatch(effGetChunk, index, 0, &chunk);
    if (size <= 0 || size > k_max_plugin_chunk || !chunk || plugin.faulted) return {};
    std::vector<unsigned char> copy(static_cast<std::size_t>(size));
    // The read of the plug-in's memory is guarded like a call into it.
    if (!plugin.guarded("effGetChunk", [&] { std::memcpy(copy.data(), chunk, copy.size()); })) return {};
    return copy;
}

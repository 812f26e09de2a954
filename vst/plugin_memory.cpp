#include "plugin_memory.h"

#include <cstring>

#include "plugin_fault_report.h"
#include "vst.h"

chunk_taken take_plugin_chunk(vst& plugin, std::int32_t index, std::vector<unsigned char>& out) {
    out.clear();
    void* chunk = nullptr;
    const std::intptr_t size = plugin.dispatch(effGetChunk, index, 0, &chunk);
    if (plugin.faulted) return chunk_taken::refused;
    // A claim past the limit is refused whether or not its bytes came with
    // it (a process of its own sends none that large).
    if (size > k_max_plugin_chunk) {
        report_chunk_too_large(plugin, static_cast<std::uint64_t>(size), chunk_direction::from_plugin);
        return chunk_taken::refused;
    }
    if (size <= 0 || !chunk) return chunk_taken::none;
    out.resize(static_cast<std::size_t>(size));
    // The read of the plug-in's memory is guarded like a call into it.
    if (!plugin.guarded("effGetChunk", [&] { std::memcpy(out.data(), chunk, out.size()); })) {
        out.clear();
        return chunk_taken::refused;
    }
    return chunk_taken::taken;
}

bool chunk_fits(const vst& plugin, std::uint64_t size) {
    if (size <= static_cast<std::uint64_t>(k_max_plugin_chunk)) return true;
    report_chunk_too_large(plugin, size, chunk_direction::to_plugin);
    return false;
}

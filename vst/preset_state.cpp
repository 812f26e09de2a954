#include "preset_state.h"

#include <cstring>
#include <vector>

#include "../host/streams.h"
#include "instance_key.h"
#include "plugin_memory.h"
#include "vst.h"

namespace {
bool is_chunk_plugin(const vst& plugin) { return (plugin.effect->flags & effFlagsProgramChunks) != 0; }
}  // namespace

void apply_preset(vst& plugin, const dsp_preset& preset) {
    plugin.current_preset.assign(preset);
    restore_preset_state(plugin, preset);
}

void restore_preset_state(vst& plugin, const dsp_preset& preset) {
    if (!plugin.usable() || !plugin.effect) return;
    give_preset_state(plugin, preset);
    // What a restart gives it back.
    if (plugin.isolated()) plugin.restart.note_state(preset);
}

void give_preset_state(vst& plugin, const dsp_preset& preset) {
    if (!plugin.effect) return;
    critical_section_scope guard(plugin.state_lock);
    const auto* data = static_cast<const unsigned char*>(preset.get_data());
    const std::size_t size = preset.get_data_size();
    if (size <= 8) return;
    if (is_chunk_plugin(plugin)) {
        if (!chunk_fits(plugin, size - 8)) return;
        // The plug-in gets its own copy: it may keep or change the bytes.
        std::vector<unsigned char> chunk(data + 8, data + size);
        plugin.dispatch(effSetChunk, 0, static_cast<std::intptr_t>(chunk.size()), chunk.data());
        return;
    }
    // Parameters the data holds no value for keep theirs.
    const std::int32_t count = plugin.parameter_count();
    for (std::int32_t i = 0; i < count && !plugin.faulted; ++i) {
        std::size_t at = 8 + 4 * static_cast<std::size_t>(i);
        if (at + 4 > size) break;
        float value;
        std::memcpy(&value, data + at, 4);
        plugin.set_parameter(i, value);
    }
}

bool capture_preset(vst& plugin, const GUID& owner, dsp_preset& out) {
    critical_section_scope guard(plugin.state_lock);
    stream_writer_buffer_simple w;
    abort_callback_dummy abort;
    w.write_lendian<std::uint32_t>(make_instance_key(), abort);
    bool refused = false;
    if (plugin.usable() && plugin.effect) {
        if (is_chunk_plugin(plugin)) {
            std::vector<unsigned char> chunk;
            // A state too large to keep is not half kept: the caller keeps the one before.
            refused = take_plugin_chunk(plugin, 0, chunk) == chunk_taken::refused;
            if (!chunk.empty()) {
                w.write_lendian<std::uint32_t>(static_cast<std::uint32_t>(chunk.size()), abort);
                w.write(chunk.data(), chunk.size(), abort);
            }
        } else {
            const std::int32_t count = plugin.parameter_count();
            std::vector<float> values(static_cast<std::size_t>(count));
            for (std::int32_t i = 0; i < count; ++i) values[static_cast<std::size_t>(i)] = plugin.get_parameter(i);
            if (!plugin.faulted) {
                w.write_lendian<std::uint32_t>(static_cast<std::uint32_t>(count), abort);
                w.write(values.data(), values.size() * sizeof(float), abort);
            }
        }
    }
    out.set_owner(owner);
    out.set_data(w.data.data(), w.data.size());
    const bool captured = plugin.usable() && !refused;
    if (captured && plugin.isolated()) plugin.restart.note_state(out);
    return captured;
}

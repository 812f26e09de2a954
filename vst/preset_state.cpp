#include "preset_state.h"

#include <cstring>
#include <vector>

#include "../host/streams.h"
#include "instance_key.h"
#include "vst.h"

namespace {
// No real plug-in has more; a record that claims more is not believed.
constexpr std::int32_t k_max_parameters = 1 << 16;

bool is_chunk_plugin(const vst& plugin) { return (plugin.effect->flags & effFlagsProgramChunks) != 0; }
}  // namespace

void apply_preset(vst& plugin, const dsp_preset& preset) {
    plugin.current_preset.assign(preset);
    if (!plugin.loaded || !plugin.effect) return;
    critical_section_scope guard(plugin.state_lock);
    const auto* data = static_cast<const unsigned char*>(preset.get_data());
    const std::size_t size = preset.get_data_size();
    if (size <= 8) return;
    AEffect* e = plugin.effect;
    if (is_chunk_plugin(plugin)) {
        // The plug-in gets its own copy: it may keep or change the bytes.
        std::vector<unsigned char> chunk(data + 8, data + size);
        plugin.dispatch(effSetChunk, 0, static_cast<std::intptr_t>(chunk.size()), chunk.data());
        return;
    }
    if (!e->setParameter) return;
    // Parameters the data holds no value for keep theirs.
    for (std::int32_t i = 0; i < e->numParams && i < k_max_parameters; ++i) {
        std::size_t at = 8 + 4 * static_cast<std::size_t>(i);
        if (at + 4 > size) break;
        float value;
        std::memcpy(&value, data + at, 4);
        e->setParameter(e, i, value);
    }
}

void capture_preset(vst& plugin, const GUID& owner, dsp_preset& out) {
    critical_section_scope guard(plugin.state_lock);
    stream_writer_buffer_simple w;
    abort_callback_dummy abort;
    w.write_lendian<std::uint32_t>(make_instance_key(), abort);
    if (plugin.loaded && plugin.effect) {
        AEffect* e = plugin.effect;
        if (is_chunk_plugin(plugin)) {
            void* chunk = nullptr;
            std::intptr_t size = plugin.dispatch(effGetChunk, 0, 0, &chunk);
            if (size > 0 && chunk) {
                w.write_lendian<std::uint32_t>(static_cast<std::uint32_t>(size), abort);
                w.write(chunk, static_cast<std::size_t>(size), abort);
            }
        } else {
            std::int32_t count = e->numParams < 0 ? 0 : e->numParams > k_max_parameters ? k_max_parameters
                                                                                         : e->numParams;
            std::vector<float> values(static_cast<std::size_t>(count));
            for (std::int32_t i = 0; i < count; ++i)
                values[static_cast<std::size_t>(i)] = e->getParameter ? e->getParameter(e, i) : 0.0f;
            w.write_lendian<std::uint32_t>(static_cast<std::uint32_t>(count), abort);
            w.write(values.data(), values.size() * sizeof(float), abort);
        }
    }
    out.set_owner(owner);
    out.set_data(w.data.data(), w.data.size());
}

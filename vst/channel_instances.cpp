#include "channel_instances.h"

#include <vector>

#include "declicker.h"
#include "plugin_memory.h"
#include "vst.h"

namespace {

// The first's state into a further instance: its bank chunk, or its
// program and parameter values. Under the first's state lock, so that no
// preset is applied to the first halfway through.
void copy_state(vst& first, vst& further) {
    critical_section_scope guard(first.state_lock);
    if (!first.effect) return;
    if (first.effect->flags & effFlagsProgramChunks) {
        std::vector<unsigned char> chunk;
        if (take_plugin_chunk(first, 0, chunk) == chunk_taken::taken)
            further.dispatch(effSetChunk, 0, static_cast<std::intptr_t>(chunk.size()), chunk.data());
        return;
    }
    further.dispatch(effSetProgram, 0, first.dispatch(effGetProgram));
    const std::int32_t count = first.parameter_count();
    for (std::int32_t i = 0; i < count && first.usable(); ++i) further.set_parameter(i, first.get_parameter(i));
}

bool same_ports(const vst& a, const vst& b) {
    return a.effect && b.effect && a.effect->numInputs == b.effect->numInputs &&
           a.effect->numOutputs == b.effect->numOutputs;
}

}  // namespace

channel_instances::channel_instances() = default;
channel_instances::~channel_instances() = default;

bool followed_by_channel_instances(std::int32_t opcode) {
    switch (opcode) {
        case effSetProgram:
        case effSetProgramName:
        case effSetSampleRate:
        case effSetBlockSize:
        case effMainsChanged:
        case effSetChunk: return true;
        default: return false;
    }
}

bool channel_instances::provide(vst& first, std::uint32_t wanted) {
    std::uint32_t have = count();
    if (have >= wanted) return true;
    if (wanted > k_max || failed_) return false;
    const plugin_place place = first.isolated() ? plugin_place::own_process : plugin_place::in_process;
    for (; have < wanted; ++have) {
        // Loaded like the first, from the entry it was loaded from.
        auto further = std::make_unique<vst>(static_cast<const entry&>(first), false, place);
        if (!further->loaded || !same_ports(first, *further)) {
            // A DLL that allows one instance, or one whose second instance
            // differs: the plug-in's ports decide, as without the setting.
            failed_ = true;
            return false;
        }
        copy_state(first, *further);
        if (first.sample_rate) {
            further->dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(first.sample_rate));
            if (first.block_size) further->dispatch(effSetBlockSize, 0, first.block_size);
            further->dispatch(effMainsChanged, 0, 1);
        }
        if (!further->usable() || !first.usable()) {
            failed_ = true;
            return false;
        }
        instances_[have] = std::move(further);
        count_.store(have + 1, std::memory_order_release);
    }
    return true;
}

void channel_instances::follow_dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                                        float opt) {
    const std::uint32_t n = count();
    for (std::uint32_t i = 0; i < n; ++i) instances_[i]->dispatch(opcode, index, value, ptr, opt);
}

void channel_instances::follow_parameter(std::int32_t index, float value) {
    const std::uint32_t n = count();
    for (std::uint32_t i = 0; i < n; ++i) instances_[i]->set_parameter(index, value);
}

bool run_channel_instances(vst& first, std::uint32_t channels, float** input_pointers, float** output_pointers,
                           float* output_buffer, std::size_t pitch, std::int32_t frames) {
    const channel_instances& further = first.matching.further;
    if (channels < 2 || further.count() < channels - 1 || !first.effect) return false;
    if (plugin_port_count(first.effect->numInputs) != 1) return false;
    const std::uint32_t outs = plugin_port_count(first.effect->numOutputs);
    if (outs == 0) return false;
    // Instance k's first output is plane k, which goes back into the chunk;
    // its others (a mono-in, stereo-out plug-in) go past the channels' planes.
    for (std::uint32_t k = 0; k < channels; ++k) {
        output_pointers[k * outs] = output_buffer + k * pitch;
        for (std::uint32_t j = 1; j < outs; ++j)
            output_pointers[k * outs + j] = output_buffer + (channels + k * (outs - 1) + j - 1) * pitch;
    }
    if (!first.process_replacing(input_pointers, 1, output_pointers, outs, frames)) return false;
    for (std::uint32_t k = 1; k < channels; ++k) {
        vst& instance = further.at(k - 1);
        if (!instance.usable() || !same_ports(first, instance)) return false;
        audio_thread_scope on_audio(instance);
        if (!instance.process_replacing(input_pointers + k, 1, output_pointers + k * outs, outs, frames))
            return false;
    }
    return true;
}

void declick_channel_instances(vst& first) {
    turn_scope serial(first.audio_lock);
    const channel_instances& further = first.matching.further;
    for (std::uint32_t i = 0, n = further.count(); i < n; ++i) {
        // Each was told the first's block size and may write that much.
        vst& instance = further.at(i);
        instance.block_size = first.block_size;
        declick(instance);
    }
}

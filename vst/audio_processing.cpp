#include "audio_processing.h"

#include <algorithm>
#include <cstdint>
#include <new>

#include "guard_zone.h"
#include "opcode_names.h"
#include "sample_layout.h"
#include "stream_match.h"
#include "vst.h"

namespace {

template <class T>
std::unique_ptr<T[]> allocate(std::uint64_t a, std::uint64_t b) {
    std::uint64_t n = a * b;
    if ((a != 0 && n / a != b) || n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    return std::unique_ptr<T[]>(new T[static_cast<std::size_t>(n ? n : 1)]);
}

}  // namespace

unsigned channel_mask_for(unsigned channels) { return audio_chunk::default_channel_mask(channels); }

bool process_chunk(vst& plugin, audio_chunk& chunk) {
    // Before the lock: the restart takes it to finish.
    plugin.await_restart_offline();
    // Two threads may run one shared plug-in (two chains from one preset, a
    // declick while another instance plays): they take turns here.
    turn_scope serial(plugin.audio_lock);
    audio_thread_scope on_audio(plugin);
    AEffect* e = plugin.effect;
    // Switched off after a fault on another thread, or the record changed
    // under us into something we cannot feed: the chunk passes unchanged.
    if (!plugin.usable() || !e || !e->processReplacing) return true;
    // With "Match plug-in channels to the stream" the chunk's layout is
    // offered first, and a mono plug-in may run once per channel, each
    // instance with the plug-in's ports (stream_match.h).
    const stream_fit fit = match_stream(plugin, chunk);
    const std::uint32_t ins = plugin_port_count(e->numInputs) * fit.instances;
    const std::uint32_t outs = plugin_port_count(e->numOutputs) * fit.instances;
    if (ins == 0 || outs == 0) return true;
    const std::uint32_t frames = static_cast<std::uint32_t>(chunk.get_sample_count());
    const std::uint32_t in_channels = chunk.get_channels();
    // The chunk's own calls are virtual: each is asked once.
    const std::size_t capacity = chunk.get_data_size();
    float* data = chunk.get_data();

    if (chunk.get_sample_rate() != plugin.sample_rate) {
        plugin.dispatch(effMainsChanged, 0, 0);
        plugin.sample_rate = chunk.get_sample_rate();
        plugin.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(plugin.sample_rate));
        plugin.dispatch(effMainsChanged, 0, 1);
    }

    if (plugin.channels < in_channels || plugin.alloc_data_size < capacity ||
        plugin.block_size < frames || plugin.alloc_inputs < ins || plugin.alloc_outputs < outs) {
        // Everything is allocated before anything is recorded, so a failed
        // allocation leaves the old buffers and sizes consistent.
        const std::size_t pitch = std::size_t{frames} + guard_zone_size(frames);
        auto input_buffer = allocate<float>(pitch, ins);
        auto output_buffer = allocate<float>(pitch, outs);
        auto input_pointers = allocate<float*>(ins, 1);
        auto output_pointers = allocate<float*>(outs, 1);
        arm_guard_zones(input_buffer.get(), ins, pitch, frames);
        arm_guard_zones(output_buffer.get(), outs, pitch, frames);
        plugin.input_buffer = std::move(input_buffer);
        plugin.output_buffer = std::move(output_buffer);
        plugin.input_pointers = std::move(input_pointers);
        plugin.output_pointers = std::move(output_pointers);
        plugin.channels = in_channels;
        plugin.alloc_data_size = static_cast<std::uint32_t>(capacity);
        plugin.block_size = frames;
        plugin.alloc_inputs = ins;
        plugin.alloc_outputs = outs;
        plugin.dispatch(effMainsChanged, 0, 0);
        plugin.dispatch(effSetBlockSize, 0, plugin.block_size);
        plugin.dispatch(effMainsChanged, 0, 1);
    }

    // Each channel has room for a whole block, then its guard zone.
    const std::size_t block = plugin.block_size;
    const std::size_t pitch = block + guard_zone_size(plugin.block_size);
    float* const in_buf = plugin.input_buffer.get();
    float* const out_buf = plugin.output_buffer.get();
    if (plugin.alloc_inputs != plugin.channels)
        for (std::uint32_t c = 0; c < plugin.alloc_inputs; ++c) std::fill_n(in_buf + c * pitch, block, 0.0f);
    if (plugin.alloc_outputs != plugin.channels)
        for (std::uint32_t c = 0; c < plugin.alloc_outputs; ++c) std::fill_n(out_buf + c * pitch, block, 0.0f);

    const std::uint32_t used = std::min(in_channels, ins);
    deinterleave(data, in_channels, used, frames, in_buf, pitch);
    // Inputs this chunk has no channel for hear silence, not an older chunk.
    for (std::uint32_t c = used; c < ins; ++c) std::fill_n(in_buf + c * pitch, frames, 0.0f);

    for (std::uint32_t i = 0; i < ins; ++i) plugin.input_pointers[i] = in_buf + i * pitch;
    for (std::uint32_t i = 0; i < outs; ++i) plugin.output_pointers[i] = out_buf + i * pitch;

    // A plug-in that grew its port counts in the calls above would read
    // pointers past the arrays: this chunk passes through, and the next one
    // is given arrays of the new size.
    if (plugin_port_count(e->numInputs) > ins || plugin_port_count(e->numOutputs) > outs) return true;
    // A plug-in that faults here is switched off; this chunk, untouched so
    // far, passes through like every later one.
    const bool ran = fit.instances > 1
                         ? run_channel_instances(plugin, fit.instances, plugin.input_pointers.get(),
                                                 plugin.output_pointers.get(), out_buf, pitch,
                                                 static_cast<std::int32_t>(frames))
                         : plugin.process_replacing(plugin.input_pointers.get(), ins, plugin.output_pointers.get(),
                                                    outs, static_cast<std::int32_t>(frames));
    if (!ran) return true;
    // So is one that wrote past the frames it was given: whatever it wrote
    // into its buffers is not to be believed either.
    if (!guard_zones_intact(in_buf, plugin.alloc_inputs, pitch, block) ||
        !guard_zones_intact(out_buf, plugin.alloc_outputs, pitch, block)) {
        plugin.report_fault(k_call_process_replacing, plugin_fault{k_fault_wrote_past_buffers});
        return true;
    }

    // A plug-in that lowered its output count since validation has no more
    // outputs than the buffers hold. A matched one keeps the stream's layout.
    const std::uint32_t n = fit.keep_layout ? in_channels
                                            : std::min<std::uint32_t>({plugin.output_count, outs, plugin.alloc_outputs});
    if (!fit.keep_layout) chunk.set_channels(n, channel_mask_for(n));
    if (std::size_t{frames} * n > capacity) {
        chunk.set_data_size(std::size_t{frames} * n);
        data = chunk.get_data();
    }
    // NaN and infinities do not leave a plug-in (sample_layout.h).
    if (const std::uint32_t silenced = interleave(out_buf, pitch, n, frames, data)) plugin.count_non_finite(silenced);
    return true;
}

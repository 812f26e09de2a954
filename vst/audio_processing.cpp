#include "audio_processing.h"

#include <algorithm>
#include <cstdint>
#include <new>

#include "sample_layout.h"
#include "vst.h"

namespace {

template <class T>
std::unique_ptr<T[]> allocate(std::uint64_t a, std::uint64_t b) {
    std::uint64_t n = a * b;
    if ((a != 0 && n / a != b) || n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    return std::unique_ptr<T[]>(new T[static_cast<std::size_t>(n ? n : 1)]);
}

std::uint32_t port_count(std::int32_t n) { return n > 0 ? static_cast<std::uint32_t>(n) : 0; }

}  // namespace

unsigned channel_mask_for(unsigned channels) { return audio_chunk::default_channel_mask(channels); }

bool process_chunk(vst& plugin, audio_chunk& chunk) {
    AEffect* e = plugin.effect;
    const std::uint32_t frames = static_cast<std::uint32_t>(chunk.get_sample_count());
    const std::uint32_t in_channels = chunk.get_channels();
    const std::uint32_t ins = port_count(e->numInputs);
    const std::uint32_t outs = port_count(e->numOutputs);

    if (chunk.get_sample_rate() != plugin.sample_rate) {
        plugin.dispatch(effMainsChanged, 0, 0);
        plugin.sample_rate = chunk.get_sample_rate();
        plugin.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(plugin.sample_rate));
        plugin.dispatch(effMainsChanged, 0, 1);
    }

    if (plugin.channels < in_channels || plugin.alloc_data_size < chunk.get_data_size() ||
        plugin.block_size < frames || plugin.alloc_inputs < ins || plugin.alloc_outputs < outs) {
        plugin.channels = in_channels;
        plugin.alloc_data_size = static_cast<std::uint32_t>(chunk.get_data_size());
        plugin.block_size = frames;
        plugin.alloc_inputs = ins;
        plugin.alloc_outputs = outs;
        plugin.input_buffer = allocate<float>(plugin.block_size, plugin.alloc_inputs);
        plugin.output_buffer = allocate<float>(plugin.alloc_outputs, plugin.block_size);
        plugin.input_pointers = allocate<float*>(plugin.alloc_inputs, 1);
        plugin.output_pointers = allocate<float*>(plugin.alloc_outputs, 1);
        plugin.dispatch(effMainsChanged, 0, 0);
        plugin.dispatch(effSetBlockSize, 0, plugin.block_size);
        plugin.dispatch(effMainsChanged, 0, 1);
    }

    float* const in_buf = plugin.input_buffer.get();
    float* const out_buf = plugin.output_buffer.get();
    const std::size_t in_size = std::size_t{plugin.block_size} * plugin.alloc_inputs;
    const std::size_t out_size = std::size_t{plugin.alloc_outputs} * plugin.block_size;
    if (plugin.alloc_inputs != plugin.channels) std::fill(in_buf, in_buf + in_size, 0.0f);
    if (plugin.alloc_outputs != plugin.channels) std::fill(out_buf, out_buf + out_size, 0.0f);

    const std::uint32_t used = std::min(in_channels, ins);
    const float* data = chunk.get_data();
    deinterleave(data, in_channels, used, frames, in_buf);
    // Inputs this chunk has no channel for hear silence, not an older chunk.
    if (used < ins) std::fill(in_buf + std::size_t{used} * frames, in_buf + std::size_t{ins} * frames, 0.0f);

    for (std::uint32_t i = 0; i < ins; ++i) plugin.input_pointers[i] = in_buf + std::size_t{i} * frames;
    for (std::uint32_t i = 0; i < outs; ++i) plugin.output_pointers[i] = out_buf + std::size_t{i} * frames;

    if (e->processReplacing)
        e->processReplacing(e, plugin.input_pointers.get(), plugin.output_pointers.get(),
                            static_cast<std::int32_t>(frames));
    else
        std::fill(out_buf, out_buf + std::size_t{outs} * frames, 0.0f);

    // A plug-in that lowered its output count since validation has no more
    // outputs than the buffers hold.
    const std::uint32_t n = std::min<std::uint32_t>({plugin.output_count, outs, plugin.alloc_outputs});
    chunk.set_channels(n, channel_mask_for(n));
    if (std::size_t{frames} * n > chunk.get_data_size()) chunk.set_data_size(std::size_t{frames} * n);
    float* out = chunk.get_data();
    interleave(out_buf, n, frames, out);
    return true;
}

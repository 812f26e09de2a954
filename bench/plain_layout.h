#pragma once
// The conversion loops as first written, sample by sample: the reference
// the fast layout code must match bit for bit.
#include <cstddef>
#include <cstdint>

inline void plain_deinterleave(const float* interleaved, std::uint32_t stride, std::uint32_t channels,
                               std::uint32_t frames, float* planar) {
    for (std::uint32_t ch = 0; ch < channels; ++ch)
        for (std::uint32_t s = 0; s < frames; ++s)
            planar[std::size_t{ch} * frames + s] = interleaved[std::size_t{s} * stride + ch];
}

inline void plain_interleave(const float* planar, std::uint32_t channels, std::uint32_t frames, float* interleaved) {
    for (std::uint32_t ch = 0; ch < channels; ++ch)
        for (std::uint32_t s = 0; s < frames; ++s)
            interleaved[std::size_t{s} * channels + ch] = planar[std::size_t{ch} * frames + s];
}

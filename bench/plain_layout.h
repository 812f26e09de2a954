#pragma once
// The conversion loops as first written, sample by sample: the reference
// the fast layout code must match bit for bit.
#include <cmath>
#include <cstddef>
#include <cstdint>

inline void plain_deinterleave(const float* interleaved, std::uint32_t stride, std::uint32_t channels,
                               std::uint32_t frames, float* planar, std::size_t pitch) {
    for (std::uint32_t ch = 0; ch < channels; ++ch)
        for (std::uint32_t s = 0; s < frames; ++s)
            planar[ch * pitch + s] = interleaved[std::size_t{s} * stride + ch];
}

// Silence in place of a NaN or an infinity; answers how many.
inline std::uint32_t plain_interleave(const float* planar, std::size_t pitch, std::uint32_t channels,
                                      std::uint32_t frames, float* interleaved) {
    std::uint32_t silenced = 0;
    for (std::uint32_t ch = 0; ch < channels; ++ch)
        for (std::uint32_t s = 0; s < frames; ++s) {
            const float v = planar[ch * pitch + s];
            const bool finite = std::isfinite(v);
            silenced += !finite;
            interleaved[std::size_t{s} * channels + ch] = finite ? v : 0.0f;
        }
    return silenced;
}

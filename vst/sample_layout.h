#pragma once
// Moving samples between the host's interleaved chunks and a plug-in's
// planar buffers. Audio thread: no allocation, no lock. Samples are moved
// as bit patterns, never as arithmetic, so every value (NaN payloads
// included) arrives unchanged.
#include <cstdint>

#include <cstddef>

// Channel ch of `frames` frames of `stride` interleaved samples each goes to
// planar + ch x pitch, for ch below `channels` (at most `stride`); pitch is
// at least `frames`.
void deinterleave(const float* interleaved, std::uint32_t stride, std::uint32_t channels, std::uint32_t frames,
                  float* planar, std::size_t pitch);

// The reverse, into frames of exactly `channels` samples. Answers the bits
// of every sample it moved or-ed together: a look at them tells whether the
// samples may hold a NaN or an infinity (non_finite.h), at the cost of one
// operation per vector instead of another pass.
std::uint32_t interleave(const float* planar, std::size_t pitch, std::uint32_t channels, std::uint32_t frames,
                         float* interleaved);

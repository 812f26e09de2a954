#pragma once
// Moving samples between the host's interleaved chunks and a plug-in's
// planar buffers. Audio thread: no allocation, no lock. Samples are moved
// as bit patterns, never as arithmetic, so every value (NaN payloads
// included) arrives unchanged.
#include <cstdint>

// Channel ch of `frames` frames of `stride` interleaved samples each goes to
// planar + ch x frames, for ch below `channels` (at most `stride`).
void deinterleave(const float* interleaved, std::uint32_t stride, std::uint32_t channels, std::uint32_t frames,
                  float* planar);

// The reverse, into frames of exactly `channels` samples.
void interleave(const float* planar, std::uint32_t channels, std::uint32_t frames, float* interleaved);

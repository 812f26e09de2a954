#pragma once
// Moving samples between the host's interleaved chunks and a plug-in's
// planar buffers. Audio thread: no allocation, no lock. Samples are moved
// as bit patterns, never as arithmetic: a plug-in is given every value as
// it came (NaN payloads, denormals, negative zero), and gives back every
// value but the ones that are no numbers.
//
// A NaN or an infinity that reaches the player's own processing (its mixer,
// resampler or equaliser, whose filters keep state) stays there and
// silences everything after it until the player restarts, so a plug-in's
// are replaced with silence on their way out, inside the copy itself.
#include <cstdint>

#include <cstddef>

// Channel ch of `frames` frames of `stride` interleaved samples each goes to
// planar + ch x pitch, for ch below `channels` (at most `stride`); pitch is
// at least `frames`.
void deinterleave(const float* interleaved, std::uint32_t stride, std::uint32_t channels, std::uint32_t frames,
                  float* planar, std::size_t pitch);

// The reverse, into frames of exactly `channels` samples, with silence in
// place of every NaN and infinity; the planar samples are left as they are.
// Answers how many it silenced.
std::uint32_t interleave(const float* planar, std::size_t pitch, std::uint32_t channels, std::uint32_t frames,
                         float* interleaved);

#pragma once
// The most used conversions (mono, stereo, six channels) in 256-bit vectors, for
// processors that have them: half the instructions of the 128-bit loops in
// sample_layout.cpp, which call these first and finish the frames left
// over. Each answers how many frames it did; the same bits move as in the
// narrower loops.
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace wide_layout {

// Whether this processor (and the system, which must save the wide
// registers) runs them, and the caller has not asked for the narrow loops.
// Settled when the DLL loads; looked at without a call, as every chunk does.
extern std::atomic<bool> g_usable;
inline bool usable() { return g_usable.load(std::memory_order_relaxed); }
// For the check that compares every loop with the plain one: the narrow
// loops alone (false), or the wide ones where usable (true, the default).
void allow(bool wide);

std::uint32_t deinterleave_stereo(const float* in, std::uint32_t frames, float* left, float* right);
std::uint32_t interleave_stereo(const float* left, const float* right, std::uint32_t frames, float* out,
                                std::uint32_t& silenced);
std::uint32_t copy_mono(const float* planar, std::uint32_t frames, float* out, std::uint32_t& silenced);
// Six channels `pitch` floats apart, eight frames a turn.
std::uint32_t deinterleave_six(const float* in, std::uint32_t frames, float* planar, std::size_t pitch);
std::uint32_t interleave_six(const float* planar, std::size_t pitch, std::uint32_t frames, float* out,
                             std::uint32_t& silenced);

}  // namespace wide_layout

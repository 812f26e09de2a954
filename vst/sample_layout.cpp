#include "sample_layout.h"

#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

inline void move_sample(float* to, const float* from) { std::memcpy(to, from, sizeof(float)); }

// The channel count known to the compiler: one pass over the frames, one
// output stream per channel.
template <std::uint32_t C>
void deinterleave_fixed(const float* in, std::uint32_t frames, float* planar) {
    for (std::uint32_t s = 0; s < frames; ++s)
        for (std::uint32_t ch = 0; ch < C; ++ch) move_sample(planar + std::size_t{ch} * frames + s, in + std::size_t{s} * C + ch);
}

template <std::uint32_t C>
void interleave_fixed(const float* planar, std::uint32_t frames, float* out) {
    for (std::uint32_t s = 0; s < frames; ++s)
        for (std::uint32_t ch = 0; ch < C; ++ch) move_sample(out + std::size_t{s} * C + ch, planar + std::size_t{ch} * frames + s);
}

void deinterleave_stereo(const float* in, std::uint32_t frames, float* left, float* right) {
    std::uint32_t s = 0;
#if defined(__SSE2__)
    // Shuffles move bits without looking at them as numbers.
    for (; s + 4 <= frames; s += 4) {
        const __m128 a = _mm_loadu_ps(in + std::size_t{s} * 2);
        const __m128 b = _mm_loadu_ps(in + std::size_t{s} * 2 + 4);
        _mm_storeu_ps(left + s, _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
        _mm_storeu_ps(right + s, _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
    }
#endif
    for (; s < frames; ++s) {
        move_sample(left + s, in + std::size_t{s} * 2);
        move_sample(right + s, in + std::size_t{s} * 2 + 1);
    }
}

void interleave_stereo(const float* left, const float* right, std::uint32_t frames, float* out) {
    std::uint32_t s = 0;
#if defined(__SSE2__)
    for (; s + 4 <= frames; s += 4) {
        const __m128 l = _mm_loadu_ps(left + s);
        const __m128 r = _mm_loadu_ps(right + s);
        _mm_storeu_ps(out + std::size_t{s} * 2, _mm_unpacklo_ps(l, r));
        _mm_storeu_ps(out + std::size_t{s} * 2 + 4, _mm_unpackhi_ps(l, r));
    }
#endif
    for (; s < frames; ++s) {
        move_sample(out + std::size_t{s} * 2, left + s);
        move_sample(out + std::size_t{s} * 2 + 1, right + s);
    }
}

}  // namespace

void deinterleave(const float* in, std::uint32_t stride, std::uint32_t channels, std::uint32_t frames,
                  float* planar) {
    if (channels == stride) {
        switch (channels) {
            case 1: std::memcpy(planar, in, sizeof(float) * frames); return;
            case 2: deinterleave_stereo(in, frames, planar, planar + frames); return;
            case 4: deinterleave_fixed<4>(in, frames, planar); return;
            case 6: deinterleave_fixed<6>(in, frames, planar); return;
            case 8: deinterleave_fixed<8>(in, frames, planar); return;
            default: break;
        }
    }
    for (std::uint32_t s = 0; s < frames; ++s)
        for (std::uint32_t ch = 0; ch < channels; ++ch)
            move_sample(planar + std::size_t{ch} * frames + s, in + std::size_t{s} * stride + ch);
}

void interleave(const float* planar, std::uint32_t channels, std::uint32_t frames, float* out) {
    switch (channels) {
        case 1: std::memcpy(out, planar, sizeof(float) * frames); return;
        case 2: interleave_stereo(planar, planar + frames, frames, out); return;
        case 4: interleave_fixed<4>(planar, frames, out); return;
        case 6: interleave_fixed<6>(planar, frames, out); return;
        case 8: interleave_fixed<8>(planar, frames, out); return;
        default: break;
    }
    for (std::uint32_t s = 0; s < frames; ++s)
        for (std::uint32_t ch = 0; ch < channels; ++ch)
            move_sample(out + std::size_t{s} * channels + ch, planar + std::size_t{ch} * frames + s);
}

#include "sample_layout.h"

#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "sample_layout_wide.h"

namespace {

inline void move_sample(float* to, const float* from) { std::memcpy(to, from, sizeof(float)); }

// The interleaving moves put silence where a sample is a NaN or an
// infinity (all exponent bits set) and count them, without a branch: a
// second pass would read every output sample again.
constexpr std::uint32_t k_exponent = 0x7F800000u;

inline void move_sample(float* to, const float* from, std::uint32_t& silenced) {
    std::uint32_t bits;
    std::memcpy(&bits, from, sizeof bits);
    const std::uint32_t non_finite = (bits & k_exponent) == k_exponent;
    silenced += non_finite;
    bits &= non_finite - 1u;
    std::memcpy(to, &bits, sizeof bits);
}

#if defined(__SSE2__)
// Four samples: each non-finite one becomes 0 and sets its lane of
// `non_finite` to all ones (-1). A loop sums a turn's masks before it adds
// them to its count, so that the count is one dependent addition a turn.
inline __m128 finite_or_silence(__m128 v, __m128i& non_finite) {
    const __m128i exponent = _mm_set1_epi32(static_cast<int>(k_exponent));
    const __m128i bits = _mm_castps_si128(v);
    non_finite = _mm_cmpeq_epi32(_mm_and_si128(bits, exponent), exponent);
    return _mm_castsi128_ps(_mm_andnot_si128(non_finite, bits));
}

inline __m128i sum(__m128i a, __m128i b) { return _mm_add_epi32(a, b); }

inline std::uint32_t lanes_sum(__m128i v) {
    alignas(16) std::uint32_t lanes[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), v);
    return lanes[0] + lanes[1] + lanes[2] + lanes[3];
}
#endif

// The channel count known to the compiler: one pass over the frames, one
// output stream per channel.
template <std::uint32_t C>
void deinterleave_fixed(const float* in, std::uint32_t frames, float* planar, std::size_t pitch) {
    for (std::uint32_t s = 0; s < frames; ++s)
        for (std::uint32_t ch = 0; ch < C; ++ch) move_sample(planar + ch * pitch + s, in + std::size_t{s} * C + ch);
}

template <std::uint32_t C>
std::uint32_t interleave_fixed(const float* planar, std::size_t pitch, std::uint32_t frames, float* out) {
    std::uint32_t silenced = 0;
    for (std::uint32_t s = 0; s < frames; ++s)
        for (std::uint32_t ch = 0; ch < C; ++ch)
            move_sample(out + std::size_t{s} * C + ch, planar + ch * pitch + s, silenced);
    return silenced;
}

void deinterleave_stereo(const float* in, std::uint32_t frames, float* left, float* right) {
    std::uint32_t s =
        frames >= 8 && wide_layout::usable() ? wide_layout::deinterleave_stereo(in, frames, left, right) : 0;
#if defined(__SSE2__)
    // Shuffles move bits without looking at them as numbers. Eight frames a
    // turn keep two independent shuffle chains in flight.
    for (; s + 8 <= frames; s += 8) {
        const float* p = in + std::size_t{s} * 2;
        const __m128 a = _mm_loadu_ps(p), b = _mm_loadu_ps(p + 4), c = _mm_loadu_ps(p + 8), d = _mm_loadu_ps(p + 12);
        _mm_storeu_ps(left + s, _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
        _mm_storeu_ps(right + s, _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
        _mm_storeu_ps(left + s + 4, _mm_shuffle_ps(c, d, _MM_SHUFFLE(2, 0, 2, 0)));
        _mm_storeu_ps(right + s + 4, _mm_shuffle_ps(c, d, _MM_SHUFFLE(3, 1, 3, 1)));
    }
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

std::uint32_t interleave_stereo(const float* left, const float* right, std::uint32_t frames, float* out) {
    std::uint32_t silenced = 0;
    std::uint32_t s =
        frames >= 8 && wide_layout::usable() ? wide_layout::interleave_stereo(left, right, frames, out, silenced) : 0;
#if defined(__SSE2__)
    __m128i counts = _mm_setzero_si128();
    for (; s + 8 <= frames; s += 8) {
        __m128i m0, m1, m2, m3;
        const __m128 l0 = finite_or_silence(_mm_loadu_ps(left + s), m0);
        const __m128 r0 = finite_or_silence(_mm_loadu_ps(right + s), m1);
        const __m128 l1 = finite_or_silence(_mm_loadu_ps(left + s + 4), m2);
        const __m128 r1 = finite_or_silence(_mm_loadu_ps(right + s + 4), m3);
        counts = _mm_sub_epi32(counts, sum(sum(m0, m1), sum(m2, m3)));
        float* p = out + std::size_t{s} * 2;
        _mm_storeu_ps(p, _mm_unpacklo_ps(l0, r0));
        _mm_storeu_ps(p + 4, _mm_unpackhi_ps(l0, r0));
        _mm_storeu_ps(p + 8, _mm_unpacklo_ps(l1, r1));
        _mm_storeu_ps(p + 12, _mm_unpackhi_ps(l1, r1));
    }
    for (; s + 4 <= frames; s += 4) {
        __m128i m0, m1;
        const __m128 l = finite_or_silence(_mm_loadu_ps(left + s), m0);
        const __m128 r = finite_or_silence(_mm_loadu_ps(right + s), m1);
        counts = _mm_sub_epi32(counts, sum(m0, m1));
        _mm_storeu_ps(out + std::size_t{s} * 2, _mm_unpacklo_ps(l, r));
        _mm_storeu_ps(out + std::size_t{s} * 2 + 4, _mm_unpackhi_ps(l, r));
    }
    silenced += lanes_sum(counts);
#endif
    for (; s < frames; ++s) {
        move_sample(out + std::size_t{s} * 2, left + s, silenced);
        move_sample(out + std::size_t{s} * 2 + 1, right + s, silenced);
    }
    return silenced;
}

#if defined(__SSE2__)
// Six channels, four frames at a time: six loads, a transpose by shuffles,
// six stores.
std::uint32_t deinterleave_six_vectors(const float* in, std::uint32_t frames, float* planar, std::size_t pitch) {
    std::uint32_t s = 0;
    for (; s + 4 <= frames; s += 4) {
        const float* p = in + std::size_t{s} * 6;
        const __m128 v0 = _mm_loadu_ps(p), v1 = _mm_loadu_ps(p + 4), v2 = _mm_loadu_ps(p + 8);
        const __m128 v3 = _mm_loadu_ps(p + 12), v4 = _mm_loadu_ps(p + 16), v5 = _mm_loadu_ps(p + 20);
        const __m128 a = _mm_shuffle_ps(v0, v1, _MM_SHUFFLE(3, 2, 1, 0));  // f0c0 f0c1 f1c0 f1c1
        const __m128 b = _mm_shuffle_ps(v3, v4, _MM_SHUFFLE(3, 2, 1, 0));  // f2c0 f2c1 f3c0 f3c1
        const __m128 c = _mm_shuffle_ps(v0, v2, _MM_SHUFFLE(1, 0, 3, 2));  // f0c2 f0c3 f1c2 f1c3
        const __m128 d = _mm_shuffle_ps(v3, v5, _MM_SHUFFLE(1, 0, 3, 2));  // f2c2 f2c3 f3c2 f3c3
        const __m128 e = _mm_shuffle_ps(v1, v2, _MM_SHUFFLE(3, 2, 1, 0));  // f0c4 f0c5 f1c4 f1c5
        const __m128 f = _mm_shuffle_ps(v4, v5, _MM_SHUFFLE(3, 2, 1, 0));  // f2c4 f2c5 f3c4 f3c5
        _mm_storeu_ps(planar + s, _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
        _mm_storeu_ps(planar + pitch + s, _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
        _mm_storeu_ps(planar + pitch * 2 + s, _mm_shuffle_ps(c, d, _MM_SHUFFLE(2, 0, 2, 0)));
        _mm_storeu_ps(planar + pitch * 3 + s, _mm_shuffle_ps(c, d, _MM_SHUFFLE(3, 1, 3, 1)));
        _mm_storeu_ps(planar + pitch * 4 + s, _mm_shuffle_ps(e, f, _MM_SHUFFLE(2, 0, 2, 0)));
        _mm_storeu_ps(planar + pitch * 5 + s, _mm_shuffle_ps(e, f, _MM_SHUFFLE(3, 1, 3, 1)));
    }
    return s;
}

std::uint32_t interleave_six_vectors(const float* planar, std::size_t pitch, std::uint32_t frames, float* out,
                                     std::uint32_t& silenced) {
    std::uint32_t s = 0;
    __m128i counts = _mm_setzero_si128();
    for (; s + 4 <= frames; s += 4) {
        __m128i m0, m1, m2, m3, m4, m5;
        const __m128 c0 = finite_or_silence(_mm_loadu_ps(planar + s), m0);
        const __m128 c1 = finite_or_silence(_mm_loadu_ps(planar + pitch + s), m1);
        const __m128 c2 = finite_or_silence(_mm_loadu_ps(planar + pitch * 2 + s), m2);
        const __m128 c3 = finite_or_silence(_mm_loadu_ps(planar + pitch * 3 + s), m3);
        const __m128 c4 = finite_or_silence(_mm_loadu_ps(planar + pitch * 4 + s), m4);
        const __m128 c5 = finite_or_silence(_mm_loadu_ps(planar + pitch * 5 + s), m5);
        counts = _mm_sub_epi32(counts, sum(sum(sum(m0, m1), sum(m2, m3)), sum(m4, m5)));
        const __m128 a = _mm_unpacklo_ps(c0, c1), b = _mm_unpackhi_ps(c0, c1);  // f0c0 f0c1 f1c0 f1c1 | f2.. f3..
        const __m128 c = _mm_unpacklo_ps(c2, c3), d = _mm_unpackhi_ps(c2, c3);
        const __m128 e = _mm_unpacklo_ps(c4, c5), f = _mm_unpackhi_ps(c4, c5);
        float* p = out + std::size_t{s} * 6;
        _mm_storeu_ps(p, _mm_movelh_ps(a, c));
        _mm_storeu_ps(p + 4, _mm_shuffle_ps(e, a, _MM_SHUFFLE(3, 2, 1, 0)));
        _mm_storeu_ps(p + 8, _mm_movehl_ps(e, c));
        _mm_storeu_ps(p + 12, _mm_movelh_ps(b, d));
        _mm_storeu_ps(p + 16, _mm_shuffle_ps(f, b, _MM_SHUFFLE(3, 2, 1, 0)));
        _mm_storeu_ps(p + 20, _mm_movehl_ps(f, d));
    }
    silenced += lanes_sum(counts);
    return s;
}
#else
std::uint32_t deinterleave_six_vectors(const float*, std::uint32_t, float*, std::size_t) { return 0; }
std::uint32_t interleave_six_vectors(const float*, std::size_t, std::uint32_t, float*, std::uint32_t&) { return 0; }
#endif

// The vector part, then the frames left over.
void deinterleave_six(const float* in, std::uint32_t frames, float* planar, std::size_t pitch) {
    std::uint32_t s =
        frames >= 8 && wide_layout::usable() ? wide_layout::deinterleave_six(in, frames, planar, pitch) : 0;
    s += deinterleave_six_vectors(in + std::size_t{s} * 6, frames - s, planar + s, pitch);
    for (; s < frames; ++s)
        for (std::uint32_t ch = 0; ch < 6; ++ch) move_sample(planar + ch * pitch + s, in + std::size_t{s} * 6 + ch);
}

std::uint32_t interleave_six(const float* planar, std::size_t pitch, std::uint32_t frames, float* out) {
    std::uint32_t silenced = 0;
    std::uint32_t s =
        frames >= 8 && wide_layout::usable() ? wide_layout::interleave_six(planar, pitch, frames, out, silenced) : 0;
    s += interleave_six_vectors(planar + s, pitch, frames - s, out + std::size_t{s} * 6, silenced);
    for (; s < frames; ++s)
        for (std::uint32_t ch = 0; ch < 6; ++ch)
            move_sample(out + std::size_t{s} * 6 + ch, planar + ch * pitch + s, silenced);
    return silenced;
}

std::uint32_t copy_mono(const float* planar, std::uint32_t frames, float* out) {
    std::uint32_t silenced = 0;
    std::uint32_t s = frames >= 16 && wide_layout::usable() ? wide_layout::copy_mono(planar, frames, out, silenced) : 0;
#if defined(__SSE2__)
    __m128i counts = _mm_setzero_si128();
    for (; s + 8 <= frames; s += 8) {
        __m128i m0, m1;
        _mm_storeu_ps(out + s, finite_or_silence(_mm_loadu_ps(planar + s), m0));
        _mm_storeu_ps(out + s + 4, finite_or_silence(_mm_loadu_ps(planar + s + 4), m1));
        counts = _mm_sub_epi32(counts, sum(m0, m1));
    }
    silenced += lanes_sum(counts);
#endif
    for (; s < frames; ++s) move_sample(out + s, planar + s, silenced);
    return silenced;
}

}  // namespace

void deinterleave(const float* in, std::uint32_t stride, std::uint32_t channels, std::uint32_t frames,
                  float* planar, std::size_t pitch) {
    if (channels == stride) {
        switch (channels) {
            case 1: std::memcpy(planar, in, sizeof(float) * frames); return;
            case 2: deinterleave_stereo(in, frames, planar, planar + pitch); return;
            case 4: deinterleave_fixed<4>(in, frames, planar, pitch); return;
            case 6: deinterleave_six(in, frames, planar, pitch); return;
            case 8: deinterleave_fixed<8>(in, frames, planar, pitch); return;
            default: break;
        }
    }
    for (std::uint32_t s = 0; s < frames; ++s)
        for (std::uint32_t ch = 0; ch < channels; ++ch)
            move_sample(planar + ch * pitch + s, in + std::size_t{s} * stride + ch);
}

std::uint32_t interleave(const float* planar, std::size_t pitch, std::uint32_t channels, std::uint32_t frames,
                         float* out) {
    switch (channels) {
        case 1: return copy_mono(planar, frames, out);
        case 2: return interleave_stereo(planar, planar + pitch, frames, out);
        case 4: return interleave_fixed<4>(planar, pitch, frames, out);
        case 6: return interleave_six(planar, pitch, frames, out);
        case 8: return interleave_fixed<8>(planar, pitch, frames, out);
        default: break;
    }
    std::uint32_t silenced = 0;
    for (std::uint32_t s = 0; s < frames; ++s)
        for (std::uint32_t ch = 0; ch < channels; ++ch)
            move_sample(out + std::size_t{s} * channels + ch, planar + ch * pitch + s, silenced);
    return silenced;
}

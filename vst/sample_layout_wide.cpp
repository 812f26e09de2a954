#include "sample_layout_wide.h"

#include <immintrin.h>

#include <atomic>

namespace wide_layout {

namespace {

bool processor_has_them() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}

#define WIDE __attribute__((target("avx2")))

// As in sample_layout.cpp: a NaN or an infinity (all exponent bits set)
// becomes 0 and sets its lane of `non_finite` to all ones.
WIDE inline __m256 finite_or_silence(__m256 v, __m256i& non_finite) {
    const __m256i exponent = _mm256_set1_epi32(0x7F800000);
    const __m256i bits = _mm256_castps_si256(v);
    non_finite = _mm256_cmpeq_epi32(_mm256_and_si256(bits, exponent), exponent);
    return _mm256_castsi256_ps(_mm256_andnot_si256(non_finite, bits));
}

WIDE inline std::uint32_t lanes_sum(__m256i v) {
    alignas(32) std::uint32_t lanes[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), v);
    std::uint32_t sum = 0;
    for (std::uint32_t lane : lanes) sum += lane;
    return sum;
}

// Puts the 64-bit quarters a b c d of a vector in the order a c b d: the
// in-lane shuffles leave each lane holding a half of both results.
WIDE inline __m256 quarters_acbd(__m256 v) {
    return _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(v), _MM_SHUFFLE(3, 1, 2, 0)));
}

}  // namespace

std::atomic<bool> g_usable{processor_has_them()};

void allow(bool wide) { g_usable.store(wide && processor_has_them(), std::memory_order_relaxed); }

WIDE std::uint32_t deinterleave_stereo(const float* in, std::uint32_t frames, float* left, float* right) {
    std::uint32_t s = 0;
    for (; s + 8 <= frames; s += 8) {
        const float* p = in + std::size_t{s} * 2;
        const __m256 a = _mm256_loadu_ps(p), b = _mm256_loadu_ps(p + 8);
        _mm256_storeu_ps(left + s, quarters_acbd(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0))));
        _mm256_storeu_ps(right + s, quarters_acbd(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1))));
    }
    return s;
}

WIDE std::uint32_t interleave_stereo(const float* left, const float* right, std::uint32_t frames, float* out,
                                     std::uint32_t& silenced) {
    std::uint32_t s = 0;
    __m256i counts = _mm256_setzero_si256();
    for (; s + 8 <= frames; s += 8) {
        __m256i m0, m1;
        const __m256 l = finite_or_silence(_mm256_loadu_ps(left + s), m0);
        const __m256 r = finite_or_silence(_mm256_loadu_ps(right + s), m1);
        counts = _mm256_sub_epi32(counts, _mm256_add_epi32(m0, m1));
        const __m256 low = _mm256_unpacklo_ps(l, r), high = _mm256_unpackhi_ps(l, r);
        float* p = out + std::size_t{s} * 2;
        _mm256_storeu_ps(p, _mm256_permute2f128_ps(low, high, 0x20));
        _mm256_storeu_ps(p + 8, _mm256_permute2f128_ps(low, high, 0x31));
    }
    silenced += lanes_sum(counts);
    return s;
}

WIDE std::uint32_t copy_mono(const float* planar, std::uint32_t frames, float* out, std::uint32_t& silenced) {
    std::uint32_t s = 0;
    __m256i counts = _mm256_setzero_si256();
    for (; s + 16 <= frames; s += 16) {
        __m256i m0, m1;
        _mm256_storeu_ps(out + s, finite_or_silence(_mm256_loadu_ps(planar + s), m0));
        _mm256_storeu_ps(out + s + 8, finite_or_silence(_mm256_loadu_ps(planar + s + 8), m1));
        counts = _mm256_sub_epi32(counts, _mm256_add_epi32(m0, m1));
    }
    silenced += lanes_sum(counts);
    return s;
}

// Six channels: the 128-bit loops' four-frame transpose, done on frames
// 0-3 in the low half of each register and on frames 4-7 in the high half
// at once (every shuffle here stays within its half).
namespace {

WIDE inline __m256 halves(const float* low, const float* high) {
    return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(low)), _mm_loadu_ps(high), 1);
}

// The low 64 bits of each half of a, then of b; and the high ones.
WIDE inline __m256 low_pairs(__m256 a, __m256 b) {
    return _mm256_castpd_ps(_mm256_unpacklo_pd(_mm256_castps_pd(a), _mm256_castps_pd(b)));
}
WIDE inline __m256 high_pairs(__m256 a, __m256 b) {
    return _mm256_castpd_ps(_mm256_unpackhi_pd(_mm256_castps_pd(a), _mm256_castps_pd(b)));
}

}  // namespace

WIDE std::uint32_t deinterleave_six(const float* in, std::uint32_t frames, float* planar, std::size_t pitch) {
    std::uint32_t s = 0;
    for (; s + 8 <= frames; s += 8) {
        const float* p = in + std::size_t{s} * 6;
        const __m256 v0 = halves(p, p + 24), v1 = halves(p + 4, p + 28), v2 = halves(p + 8, p + 32);
        const __m256 v3 = halves(p + 12, p + 36), v4 = halves(p + 16, p + 40), v5 = halves(p + 20, p + 44);
        const __m256 a = _mm256_shuffle_ps(v0, v1, _MM_SHUFFLE(3, 2, 1, 0));  // f0c0 f0c1 f1c0 f1c1
        const __m256 b = _mm256_shuffle_ps(v3, v4, _MM_SHUFFLE(3, 2, 1, 0));  // f2c0 f2c1 f3c0 f3c1
        const __m256 c = _mm256_shuffle_ps(v0, v2, _MM_SHUFFLE(1, 0, 3, 2));  // f0c2 f0c3 f1c2 f1c3
        const __m256 d = _mm256_shuffle_ps(v3, v5, _MM_SHUFFLE(1, 0, 3, 2));  // f2c2 f2c3 f3c2 f3c3
        const __m256 e = _mm256_shuffle_ps(v1, v2, _MM_SHUFFLE(3, 2, 1, 0));  // f0c4 f0c5 f1c4 f1c5
        const __m256 f = _mm256_shuffle_ps(v4, v5, _MM_SHUFFLE(3, 2, 1, 0));  // f2c4 f2c5 f3c4 f3c5
        _mm256_storeu_ps(planar + s, _mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
        _mm256_storeu_ps(planar + pitch + s, _mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
        _mm256_storeu_ps(planar + pitch * 2 + s, _mm256_shuffle_ps(c, d, _MM_SHUFFLE(2, 0, 2, 0)));
        _mm256_storeu_ps(planar + pitch * 3 + s, _mm256_shuffle_ps(c, d, _MM_SHUFFLE(3, 1, 3, 1)));
        _mm256_storeu_ps(planar + pitch * 4 + s, _mm256_shuffle_ps(e, f, _MM_SHUFFLE(2, 0, 2, 0)));
        _mm256_storeu_ps(planar + pitch * 5 + s, _mm256_shuffle_ps(e, f, _MM_SHUFFLE(3, 1, 3, 1)));
    }
    return s;
}

WIDE std::uint32_t interleave_six(const float* planar, std::size_t pitch, std::uint32_t frames, float* out,
                                  std::uint32_t& silenced) {
    std::uint32_t s = 0;
    __m256i counts = _mm256_setzero_si256();
    for (; s + 8 <= frames; s += 8) {
        __m256i m0, m1, m2, m3, m4, m5;
        const __m256 c0 = finite_or_silence(_mm256_loadu_ps(planar + s), m0);
        const __m256 c1 = finite_or_silence(_mm256_loadu_ps(planar + pitch + s), m1);
        const __m256 c2 = finite_or_silence(_mm256_loadu_ps(planar + pitch * 2 + s), m2);
        const __m256 c3 = finite_or_silence(_mm256_loadu_ps(planar + pitch * 3 + s), m3);
        const __m256 c4 = finite_or_silence(_mm256_loadu_ps(planar + pitch * 4 + s), m4);
        const __m256 c5 = finite_or_silence(_mm256_loadu_ps(planar + pitch * 5 + s), m5);
        const __m256i pairs = _mm256_add_epi32(_mm256_add_epi32(m0, m1), _mm256_add_epi32(m2, m3));
        counts = _mm256_sub_epi32(counts, _mm256_add_epi32(pairs, _mm256_add_epi32(m4, m5)));
        const __m256 a = _mm256_unpacklo_ps(c0, c1), b = _mm256_unpackhi_ps(c0, c1);
        const __m256 c = _mm256_unpacklo_ps(c2, c3), d = _mm256_unpackhi_ps(c2, c3);
        const __m256 e = _mm256_unpacklo_ps(c4, c5), f = _mm256_unpackhi_ps(c4, c5);
        // Per half, the six quads of its four frames in order.
        const __m256 q0 = low_pairs(a, c), q1 = _mm256_shuffle_ps(e, a, _MM_SHUFFLE(3, 2, 1, 0));
        const __m256 q2 = high_pairs(c, e), q3 = low_pairs(b, d);
        const __m256 q4 = _mm256_shuffle_ps(f, b, _MM_SHUFFLE(3, 2, 1, 0)), q5 = high_pairs(d, f);
        float* p = out + std::size_t{s} * 6;
        _mm256_storeu_ps(p, _mm256_permute2f128_ps(q0, q1, 0x20));
        _mm256_storeu_ps(p + 8, _mm256_permute2f128_ps(q2, q3, 0x20));
        _mm256_storeu_ps(p + 16, _mm256_permute2f128_ps(q4, q5, 0x20));
        _mm256_storeu_ps(p + 24, _mm256_permute2f128_ps(q0, q1, 0x31));
        _mm256_storeu_ps(p + 32, _mm256_permute2f128_ps(q2, q3, 0x31));
        _mm256_storeu_ps(p + 40, _mm256_permute2f128_ps(q4, q5, 0x31));
    }
    silenced += lanes_sum(counts);
    return s;
}

}  // namespace wide_layout

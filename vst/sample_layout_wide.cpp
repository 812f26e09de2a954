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

}  // namespace wide_layout

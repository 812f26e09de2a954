#include "guard_zone.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// A signalling NaN with a payload no arithmetic makes.
constexpr std::uint32_t k_pattern = 0x7FA5A5A5u;

void set(float* at) { std::memcpy(at, &k_pattern, sizeof k_pattern); }
bool intact(const float* at) {
    std::uint32_t bits;
    std::memcpy(&bits, at, sizeof bits);
    return bits == k_pattern;
}

// The first eight floats of a zone, where every overrun that runs on from
// the frames begins.
bool start_intact(const float* zone) {
#if defined(__SSE2__)
    const __m128i pattern = _mm_set1_epi32(static_cast<int>(k_pattern));
    const __m128i a = _mm_cmpeq_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(zone)), pattern);
    const __m128i b = _mm_cmpeq_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(zone + 4)), pattern);
    return _mm_movemask_epi8(_mm_and_si128(a, b)) == 0xFFFF;
#else
    bool all = true;
    for (int i = 0; i < 8; ++i) all &= intact(zone + i);
    return all;
#endif
}

}  // namespace

std::size_t guard_zone_size(std::uint32_t frames) { return std::max<std::size_t>(frames, 256); }

void arm_guard_zones(float* buffer, std::uint32_t channels, std::size_t pitch, std::size_t frames_capacity) {
    for (std::uint32_t c = 0; c < channels; ++c)
        for (std::size_t i = frames_capacity; i < pitch; ++i) set(buffer + c * pitch + i);
}

bool guard_zones_intact(const float* buffer, std::uint32_t channels, std::size_t pitch,
                        std::size_t frames_capacity) {
    const std::size_t zone = pitch - frames_capacity;
    bool all = true;
    for (std::uint32_t c = 0; c < channels; ++c) {
        const float* start = buffer + c * pitch + frames_capacity;
        // Its start, then a write that skipped it: the middle and the end.
        all &= start_intact(start) & intact(start + zone / 2) & intact(start + zone - 1);
    }
    return all;
}

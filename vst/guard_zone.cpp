#include "guard_zone.h"

#include <algorithm>
#include <cstring>

namespace {

// A signalling NaN with a payload no arithmetic makes.
constexpr std::uint32_t k_pattern = 0x7FA5A5A5u;
constexpr std::size_t k_dense = 16;   // floats checked one by one at a zone's start
constexpr std::size_t k_sparse = 61;  // then every this many (prime: no block rhythm hides)

void set(float* at) { std::memcpy(at, &k_pattern, sizeof k_pattern); }
bool intact(const float* at) {
    std::uint32_t bits;
    std::memcpy(&bits, at, sizeof bits);
    return bits == k_pattern;
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
    for (std::uint32_t c = 0; c < channels; ++c) {
        const float* start = buffer + c * pitch + frames_capacity;
        for (std::size_t i = 0; i < std::min(k_dense, zone); ++i)
            if (!intact(start + i)) return false;
        for (std::size_t i = k_dense; i < zone; i += k_sparse)
            if (!intact(start + i)) return false;
        if (zone > k_dense && !intact(start + zone - 1)) return false;
    }
    return true;
}

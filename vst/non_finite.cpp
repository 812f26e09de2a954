#include "non_finite.h"

#include <cstring>

std::uint32_t silence_non_finite(float* planar, std::size_t pitch, std::uint32_t channels, std::uint32_t frames) {
    std::uint32_t replaced = 0;
    for (std::uint32_t c = 0; c < channels; ++c)
        for (std::uint32_t i = 0; i < frames; ++i) {
            float* sample = planar + c * pitch + i;
            std::uint32_t bits;
            std::memcpy(&bits, sample, sizeof bits);
            if ((bits & 0x7F800000u) != 0x7F800000u) continue;
            *sample = 0.0f;
            ++replaced;
        }
    return replaced;
}

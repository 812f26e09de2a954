#pragma once
// Test signals: interleaved frames whose every sample is distinct.
#include <cmath>
#include <vector>

inline std::vector<float> test_signal(std::size_t frames, unsigned channels, float scale = 0.5f) {
    std::vector<float> v(frames * channels);
    for (std::size_t f = 0; f < frames; ++f)
        for (unsigned c = 0; c < channels; ++c)
            v[f * channels + c] = scale * static_cast<float>(std::sin(0.01 * static_cast<double>(f) * (c + 1) + c));
    return v;
}

#pragma once
// Test signals: interleaved frames whose every sample is distinct.
#include <cmath>
#include <vector>

#include "../../host/audio_chunk.h"

inline std::vector<float> test_signal(std::size_t frames, unsigned channels, float scale = 0.5f) {
    std::vector<float> v(frames * channels);
    for (std::size_t f = 0; f < frames; ++f)
        for (unsigned c = 0; c < channels; ++c)
            v[f * channels + c] = scale * static_cast<float>(std::sin(0.01 * static_cast<double>(f) * (c + 1) + c));
    return v;
}

// A mono or stereo chunk holding `samples`, with the layout the player gives it.
inline audio_chunk_impl chunk_of(const std::vector<float>& samples, unsigned channels, unsigned rate = 44100) {
    audio_chunk_impl c;
    c.set_data(samples.data(), samples.size() / channels, channels, rate, channels == 1 ? 4u : 3u);
    return c;
}

// Every sample a chunk holds, interleaved.
inline std::vector<float> samples_of(const audio_chunk& c) {
    return std::vector<float>(c.get_data(), c.get_data() + c.get_sample_count() * c.get_channels());
}

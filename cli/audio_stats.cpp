#include "audio_stats.h"

#include <cmath>
#include <cstdio>

void audio_stats::add(const float* data, std::size_t frames, unsigned channels) {
    if (peak_.size() < channels) {
        peak_.resize(channels, 0.0);
        sum_squares_.resize(channels, 0.0);
    }
    for (std::size_t f = 0; f < frames; ++f)
        for (unsigned c = 0; c < channels; ++c) {
            double v = data[f * channels + c];
            peak_[c] = std::fmax(peak_[c], std::fabs(v));
            sum_squares_[c] += v * v;
        }
    frames_ += frames;
}

double audio_stats::rms(std::size_t channel) const {
    return frames_ ? std::sqrt(sum_squares_[channel] / static_cast<double>(frames_)) : 0.0;
}

std::string dbfs(double level) {
    if (level <= 0.0) return "-inf dBFS";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%+.1f dBFS", 20.0 * std::log10(level));
    return buf;
}

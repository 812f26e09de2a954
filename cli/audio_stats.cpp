#include "audio_stats.h"

#include <cmath>
#include <cstdio>

namespace {

// `a > p ? a : p` is what fmax gives here (neither is ever NaN), without a
// library call per sample.
inline double louder(double p, double a) { return a > p ? a : p; }

// A sample that is no finite number counts as silence and is counted; both
// without a branch, so the common case costs a compare and a select.
inline double counted(float sample, std::size_t& non_finite) {
    const bool finite = std::isfinite(sample);
    non_finite += !finite;
    return finite ? sample : 0.0;
}

// The channel count known to the compiler keeps every sum in a register;
// each channel's sum still adds its samples in order, so the figures do not
// change.
template <unsigned C>
void add_fixed(const float* data, std::size_t frames, double* peak, double* sum_squares, std::size_t* non_finite) {
    double p[C], q[C];
    std::size_t n[C];
    for (unsigned c = 0; c < C; ++c) {
        p[c] = peak[c];
        q[c] = sum_squares[c];
        n[c] = non_finite[c];
    }
    for (std::size_t f = 0; f < frames; ++f)
        for (unsigned c = 0; c < C; ++c) {
            const double v = counted(data[f * C + c], n[c]);
            p[c] = louder(p[c], std::fabs(v));
            q[c] += v * v;
        }
    for (unsigned c = 0; c < C; ++c) {
        peak[c] = p[c];
        sum_squares[c] = q[c];
        non_finite[c] = n[c];
    }
}

}  // namespace

void audio_stats::add(const float* data, std::size_t frames, unsigned channels) {
    if (peak_.size() < channels) {
        peak_.resize(channels, 0.0);
        sum_squares_.resize(channels, 0.0);
        non_finite_.resize(channels, 0);
    }
    if (channels == 1) add_fixed<1>(data, frames, peak_.data(), sum_squares_.data(), non_finite_.data());
    else if (channels == 2) add_fixed<2>(data, frames, peak_.data(), sum_squares_.data(), non_finite_.data());
    else
        for (std::size_t f = 0; f < frames; ++f)
            for (unsigned c = 0; c < channels; ++c) {
                const double v = counted(data[f * channels + c], non_finite_[c]);
                peak_[c] = louder(peak_[c], std::fabs(v));
                sum_squares_[c] += v * v;
            }
    frames_ += frames;
}

double audio_stats::rms(std::size_t channel) const {
    const std::size_t counted = frames_ - non_finite_[channel];
    return counted ? std::sqrt(sum_squares_[channel] / static_cast<double>(counted)) : 0.0;
}

std::string dbfs(double level) {
    if (level <= 0.0) return "-inf dBFS";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%+.1f dBFS", 20.0 * std::log10(level));
    return buf;
}

#pragma once
// Peak and RMS per channel of what was written. Samples that are no finite
// numbers (NaN, infinities) are left out of both and counted.
#include <cstddef>
#include <string>
#include <vector>

class audio_stats {
public:
    void add(const float* interleaved, std::size_t frames, unsigned channels);
    std::size_t channels() const { return peak_.size(); }
    std::size_t frames() const { return frames_; }
    double peak(std::size_t channel) const { return peak_[channel]; }
    double rms(std::size_t channel) const;
    std::size_t non_finite(std::size_t channel) const { return non_finite_[channel]; }

private:
    std::vector<double> peak_;
    std::vector<double> sum_squares_;
    std::vector<std::size_t> non_finite_;
    std::size_t frames_ = 0;
};

// Decibels relative to full scale; "-inf" for silence.
std::string dbfs(double level);

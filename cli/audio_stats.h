#pragma once
// Peak and RMS per channel of what was written.
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

private:
    std::vector<double> peak_;
    std::vector<double> sum_squares_;
    std::size_t frames_ = 0;
};

// Decibels relative to full scale; "-inf" for silence.
std::string dbfs(double level);

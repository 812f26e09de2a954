#pragma once
// Timing and the rows of the table the benchmark prints. Figures are
// compared with a baseline measured in the same run: on a shared machine
// absolute times say little, ratios of minima say more.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

inline double now_seconds() {
    static const double period = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return 1.0 / static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) * period;
}

// Repeated measurements of one quantity.
class timings {
public:
    void add(double seconds) { values_.push_back(seconds); }
    double min() const { return values_.empty() ? 0.0 : *std::min_element(values_.begin(), values_.end()); }
    double median() const {
        if (values_.empty()) return 0.0;
        std::vector<double> v = values_;
        std::sort(v.begin(), v.end());
        return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2.0;
    }

private:
    std::vector<double> values_;
};

inline std::string format_time(double seconds) {
    char buf[32];
    if (seconds < 1e-6) std::snprintf(buf, sizeof buf, "%.1f ns", seconds * 1e9);
    else if (seconds < 1e-3) std::snprintf(buf, sizeof buf, "%.2f us", seconds * 1e6);
    else if (seconds < 1.0) std::snprintf(buf, sizeof buf, "%.2f ms", seconds * 1e3);
    else std::snprintf(buf, sizeof buf, "%.2f s", seconds);
    return buf;
}

// One row: what, which case, the baseline and the measured figure (minimum
// of the repetitions, median in brackets), their ratio and the target.
inline void print_ratio_row(const std::string& figure, const std::string& which, const timings& baseline,
                            const timings& measured, double target) {
    const double ratio = baseline.min() > 0 ? measured.min() / baseline.min() : 0.0;
    const double median_ratio = baseline.median() > 0 ? measured.median() / baseline.median() : 0.0;
    std::printf("| %s | %s | %s (%s) | %s (%s) | %.2fx (%.2fx) | <= %.2fx | %s |\n", figure.c_str(), which.c_str(),
                format_time(baseline.min()).c_str(), format_time(baseline.median()).c_str(),
                format_time(measured.min()).c_str(), format_time(measured.median()).c_str(), ratio, median_ratio,
                target, ratio <= target ? "met" : "MISSED");
    std::fflush(stdout);
}

// The same without a target: a figure the table reports for what it tells,
// here the cost a chunk pays whatever its length.
inline void print_reported_row(const std::string& figure, const std::string& which, const timings& baseline,
                               const timings& measured) {
    std::printf("| %s | %s | %s (%s) | %s (%s) | +%s (+%s) | report | reported |\n", figure.c_str(), which.c_str(),
                format_time(baseline.min()).c_str(), format_time(baseline.median()).c_str(),
                format_time(measured.min()).c_str(), format_time(measured.median()).c_str(),
                format_time(std::max(0.0, measured.min() - baseline.min())).c_str(),
                format_time(std::max(0.0, measured.median() - baseline.median())).c_str());
    std::fflush(stdout);
}

inline void print_count_row(const std::string& figure, const std::string& which, std::uint64_t count,
                            std::uint64_t chunks) {
    std::printf("| %s | %s | 0 | %llu in %llu chunks | %.3f per chunk | 0 | %s |\n", figure.c_str(), which.c_str(),
                static_cast<unsigned long long>(count), static_cast<unsigned long long>(chunks),
                chunks ? static_cast<double>(count) / static_cast<double>(chunks) : 0.0, count == 0 ? "met" : "MISSED");
    std::fflush(stdout);
}

#include "hang_limits.h"

#include <atomic>

namespace {

// Read for every block on the audio thread: each field on its own, no lock.
struct atomic_deadlines {
    std::atomic<std::uint32_t> open_ms{bridge_deadlines{}.open_ms};
    std::atomic<std::uint32_t> chunk_ms{bridge_deadlines{}.chunk_ms};
    std::atomic<std::uint32_t> call_ms{bridge_deadlines{}.call_ms};
    std::atomic<std::uint32_t> late_chunk_periods{bridge_deadlines{}.late_chunk_periods};
    std::atomic<std::uint32_t> late_minimum_ms{bridge_deadlines{}.late_minimum_ms};
};
atomic_deadlines g_deadlines;

}  // namespace

bridge_deadlines current_bridge_deadlines() {
    bridge_deadlines d;
    d.open_ms = g_deadlines.open_ms.load(std::memory_order_relaxed);
    d.chunk_ms = g_deadlines.chunk_ms.load(std::memory_order_relaxed);
    d.call_ms = g_deadlines.call_ms.load(std::memory_order_relaxed);
    d.late_chunk_periods = g_deadlines.late_chunk_periods.load(std::memory_order_relaxed);
    d.late_minimum_ms = g_deadlines.late_minimum_ms.load(std::memory_order_relaxed);
    return d;
}

void set_bridge_deadlines(const bridge_deadlines& d) {
    g_deadlines.open_ms.store(d.open_ms, std::memory_order_relaxed);
    g_deadlines.chunk_ms.store(d.chunk_ms, std::memory_order_relaxed);
    g_deadlines.call_ms.store(d.call_ms, std::memory_order_relaxed);
    g_deadlines.late_chunk_periods.store(d.late_chunk_periods, std::memory_order_relaxed);
    g_deadlines.late_minimum_ms.store(d.late_minimum_ms, std::memory_order_relaxed);
}

std::uint32_t limit_ms(const bridge_deadlines& d, hang_limit limit) {
    switch (limit) {
        case hang_limit::open: return d.open_ms;
        case hang_limit::chunk: return d.chunk_ms;
        case hang_limit::call: break;
    }
    return d.call_ms;
}

std::uint32_t late_after_ms(const bridge_deadlines& d, std::uint32_t frames, float sample_rate) {
    const double period_ms = sample_rate > 0.0f ? 1000.0 * frames / sample_rate : 0.0;
    const double wanted = period_ms * d.late_chunk_periods;
    const std::uint32_t late = wanted > d.late_minimum_ms ? static_cast<std::uint32_t>(wanted) : d.late_minimum_ms;
    return late < d.call_ms ? late : d.call_ms;
}

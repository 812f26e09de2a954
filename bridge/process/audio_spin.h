#pragma once
// How long the audio thread spins for the next block before it sleeps on
// its event. A sleeping thread costs the block a wake-up by the system
// (tens of microseconds, hundreds under Wine or on a busy machine); a
// spinning one burns its core for as long as it spins. So it spins long
// only while blocks come close together (the player filling its buffers,
// a file being processed): as long as the shortest of the last few gaps,
// with room to spare, up to a limit. Blocks that come at the pace of the
// music are far apart, and there it spins briefly and sleeps; a lone short
// gap among them costs a few long spins at most.
// docs/performance.md has the figures this was chosen by.
#include <algorithm>
#include <cstdint>

namespace bridge {

class audio_spin {
public:
    // Spun before every sleep: a block that is all but there is not worth
    // a wake-up.
    static constexpr std::uint32_t k_short_microseconds = 60;
    // The longest gap a spin is meant to bridge.
    static constexpr std::uint32_t k_longest_gap_microseconds = 2000;
    static constexpr int k_gaps_remembered = 4;

    // A fixed spin instead (the benchmark compares), 0 for none at all.
    void fix(std::uint32_t microseconds) {
        fixed_ = true;
        fixed_microseconds_ = microseconds;
    }

    // How long to spin for the coming block.
    std::uint32_t next() const {
        if (fixed_) return fixed_microseconds_;
        std::int64_t shortest = gaps_[0];
        for (std::int64_t gap : gaps_) shortest = std::min(shortest, gap);
        if (shortest > k_longest_gap_microseconds) return k_short_microseconds;
        return std::max<std::uint32_t>(k_short_microseconds, static_cast<std::uint32_t>(shortest + shortest / 4 + 50));
    }

    // How long the wait for the last block took, spin and sleep together.
    void waited(std::int64_t microseconds) {
        gaps_[next_gap_] = microseconds < 0 ? 0 : microseconds;
        next_gap_ = (next_gap_ + 1) % k_gaps_remembered;
    }

private:
    // Until it has seen blocks come close together it takes them as far
    // apart.
    std::int64_t gaps_[k_gaps_remembered] = {k_never, k_never, k_never, k_never};
    static constexpr std::int64_t k_never = std::int64_t{1} << 40;
    int next_gap_ = 0;
    bool fixed_ = false;
    std::uint32_t fixed_microseconds_ = 0;
};

}  // namespace bridge

// How long the bridge's audio thread spins for the next block: long enough
// to catch blocks that come close together, briefly when they come at the
// pace of the music, never longer than its limit.
#include <gtest/gtest.h>

#include <vector>

#include "../../bridge/process/audio_spin.h"

namespace {

using bridge::audio_spin;

struct spin_case {
    const char* what;
    std::vector<std::int64_t> gaps;  // microseconds, oldest first
    std::int64_t caught_gap;         // the gap the spin must outlast; 0: only the short spin
};

TEST(AudioSpin, SpinsOutTheShortGapsItHasSeenAndNoMore) {
    const std::int64_t music = 23220, burst = 1100, limit = audio_spin::k_longest_gap_microseconds;
    const spin_case cases[] = {
        {"nothing seen yet", {}, 0},
        {"blocks at the music's pace", {music, music, music, music}, 0},
        {"a burst", {burst, burst, burst, burst}, burst},
        {"the first block of a burst", {music, music, music, burst}, burst},
        {"a pause within a burst", {burst, burst, burst, music}, burst},
        {"a lone short gap long ago", {burst, music, music, music, music}, 0},
        {"back to back", {5, 8, 3, 6}, 8},
        {"gaps just within the limit", {limit, limit, limit, limit}, limit},
        {"gaps just beyond it", {limit + 1, limit + 1, limit + 1, limit + 1}, 0},
    };
    for (const spin_case& c : cases) {
        audio_spin spin;
        for (std::int64_t gap : c.gaps) spin.waited(gap);
        const std::int64_t next = spin.next();
        if (c.caught_gap == 0) {
            EXPECT_EQ(next, audio_spin::k_short_microseconds) << c.what;
            continue;
        }
        std::int64_t shortest = c.gaps.back();
        for (std::int64_t gap : c.gaps) shortest = std::min(shortest, gap);
        EXPECT_GT(next, shortest) << c.what;
        EXPECT_GE(next, std::int64_t{audio_spin::k_short_microseconds}) << c.what;
        // With room to spare, but a bounded one.
        EXPECT_LE(next, std::max<std::int64_t>(shortest * 2, audio_spin::k_short_microseconds)) << c.what;
    }
}

TEST(AudioSpin, AFixedSpinIsKeptWhateverTheGaps) {
    for (std::uint32_t fixed : {0u, 250u}) {
        audio_spin spin;
        spin.fix(fixed);
        for (std::int64_t gap : {1100, 5, 23220}) {
            spin.waited(gap);
            EXPECT_EQ(spin.next(), fixed);
        }
    }
}

}  // namespace

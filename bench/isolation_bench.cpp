// A pass-through plug-in in a process of its own against the same plug-in
// in the player's process: the time each chunk adds (median and 99th
// percentile, chunks back to back and chunks with a pause before each, so
// that the bridge's audio thread has gone to sleep), the heap allocations
// per chunk on both sides, and what acquiring an isolated instance adds.
#include <vector>

#include "../Helpers/alloc_count.h"
#include "../Helpers/utf.h"
#include "../prefs/advanced_settings.h"
#include "../vst/isolation.h"
#include "../bridge/player/plugin_bridge.h"
#include "../vst/vst.h"
#include "bench_host.h"
#include "chain_position.h"
#include "bench_table.h"
#include "benches.h"

namespace {

constexpr std::uint32_t k_frames[] = {256, 1024, 4096};
// The median added after a pause (the bridge's audio thread may have gone
// to sleep) and back to back.
constexpr double k_added_median_target = 50e-6;
constexpr double k_added_median_back_to_back_target = 10e-6;
constexpr double k_added_p99_target = 500e-6;
constexpr double k_acquire_added_target = 0.150;
constexpr std::uint32_t k_learnt = ~0u;

void print_added_row(const std::string& which, bool paced, const std::vector<double>& here,
                     const std::vector<double>& isolated) {
    const double here_median = percentile(here, 0.5), here_p99 = percentile(here, 0.99);
    const double median = percentile(isolated, 0.5), p99 = percentile(isolated, 0.99);
    const double added_median = median - here_median, added_p99 = p99 - here_median;
    const double median_target = paced ? k_added_median_target : k_added_median_back_to_back_target;
    const bool met = added_median <= median_target && added_p99 <= k_added_p99_target;
    std::printf("| Added time per chunk, isolated | %s | %s (p99 %s) | %s (p99 %s) | +%s (p99 +%s) | median <= +%.0f us, "
                "p99 <= +500 us | %s |\n",
                which.c_str(), format_time(here_median).c_str(), format_time(here_p99).c_str(),
                format_time(median).c_str(), format_time(p99).c_str(), format_time(added_median).c_str(),
                format_time(added_p99).c_str(), median_target * 1e6, met ? "met" : "MISSED");
    std::fflush(stdout);
}

// How long the bridge's audio thread spins for the next block before it
// sleeps: fixed spins against the learnt one (0: the learnt one). For each,
// chunks of 1024 frames with a 1 ms pause before each (as when the player
// fills its buffers), then at the pace of the music: the time added after
// the pause, and how long the bridge's audio thread was busy (spinning or
// serving) per second of audio; then a second without audio.
bool spin_study(const entry& configured, std::uint32_t& key, int repetitions) {
    constexpr std::uint32_t k_frames_studied = 1024;
    constexpr DWORD k_music_pace_ms = k_frames_studied * 1000 / 44100;
    constexpr std::uint32_t k_spins[] = {0, 60, 250, 1000, 2000, k_learnt};
    bool ok = true;
    for (std::uint32_t spin : k_spins) {
        if (spin != k_learnt) SetEnvironmentVariableW(L"ORVANE_BRIDGE_AUDIO_SPIN_US", std::to_wstring(spin).c_str());
        vst_ref here_ref = acquire(configured, ++key, false);
        vst_ref isolated_ref = acquire(configured, ++key, true);
        SetEnvironmentVariableW(L"ORVANE_BRIDGE_AUDIO_SPIN_US", nullptr);
        if (!isolated_ref->loaded || !isolated_ref->isolated() || !here_ref->loaded) return false;
        const isolated_plugin& bridge = *isolated_ref->bridge();
        chain_position here(std::move(here_ref), k_frames_studied), isolated(std::move(isolated_ref), k_frames_studied);
        for (int i = 0; i < 20; ++i) {
            here.run_one();
            isolated.run_one();
        }
        // Chunks `pause` ms apart: the median and p99 added, and the
        // bridge's busy milliseconds per second of audio.
        struct paced_figures {
            double median, p99, busy_per_second;
        };
        const auto paced = [&](DWORD pause, int chunks) {
            std::vector<double> here_times, isolated_times;
            for (int i = 0; i < chunks; ++i) {
                Sleep(pause);
                here_times.push_back(here.run_one());
            }
            const std::uint32_t busy_before = bridge.audio_busy_microseconds();
            for (int i = 0; i < chunks; ++i) {
                Sleep(pause);
                isolated_times.push_back(isolated.run_one());
            }
            const double busy = static_cast<std::uint32_t>(bridge.audio_busy_microseconds() - busy_before) * 1e-3;
            const double base = percentile(here_times, 0.5);
            return paced_figures{percentile(isolated_times, 0.5) - base, percentile(isolated_times, 0.99) - base,
                                 busy / (static_cast<double>(chunks) * k_frames_studied / 44100.0)};
        };
        const paced_figures burst = paced(1, 10 * repetitions);
        const paced_figures music = paced(k_music_pace_ms, 40);
        // A second without audio, told by the answer to the chunk after it.
        const std::uint32_t idle_from = bridge.audio_busy_microseconds();
        Sleep(1000);
        isolated.run_one();
        const double idle_busy = static_cast<std::uint32_t>(bridge.audio_busy_microseconds() - idle_from) * 1e-3;
        ok = ok && here.unchanged() && isolated.unchanged();
        const std::string which = spin == k_learnt ? "learnt (shipped)" : "fixed " + std::to_string(spin) + " us";
        std::printf("| Bridge audio thread, spin before sleeping | %s, 2 ch x %u | 1 ms pause: +%s median (p99 +%s), "
                    "busy %.1f ms per s of audio | music's pace: +%s median, busy %.1f ms per s of audio | "
                    "%.2f ms busy in 1 s without audio | report | reported |\n",
                    which.c_str(), k_frames_studied, format_time(burst.median).c_str(), format_time(burst.p99).c_str(),
                    burst.busy_per_second, format_time(music.median).c_str(), music.busy_per_second, idle_busy);
        std::fflush(stdout);
    }
    return ok;
}

}  // namespace

int bench_isolation(int repetitions) {
    bench_host host;
    // The bridges started from here count their own allocations.
    SetEnvironmentVariableW(L"ORVANE_BRIDGE_COUNT_ALLOCATIONS", L"1");
    count_allocations_in(GetModuleHandleW(nullptr));
    const entry configured(wide_to_utf8(pass_through_dll(2)));
    std::uint32_t key = 0x20000;
    bool ok = true;
    std::uint64_t player_allocations = 0, bridge_allocations = 0, chunks = 0;

    for (std::uint32_t frames : k_frames) {
        for (bool paced : {false, true}) {
            vst_ref here_ref = acquire(configured, ++key, false);
            vst_ref isolated_ref = acquire(configured, ++key, true);
            vst& isolated_plugin = *isolated_ref;
            if (!here_ref->loaded || !isolated_plugin.loaded || !isolated_plugin.isolated()) {
                std::fprintf(stderr, "cannot load %s in both places\n", configured.module_path.c_str());
                return 1;
            }
            chain_position here(std::move(here_ref), frames), isolated(std::move(isolated_ref), frames);
            for (int i = 0; i < 20; ++i) {  // the first chunks set sizes and map the audio
                here.run_one();
                isolated.run_one();
            }
            std::vector<double> here_times, isolated_times;
            const int per_round = paced ? 10 : 100;
            // Room for every time up front: the count is of the chunks' allocations.
            here_times.reserve(static_cast<std::size_t>(per_round * repetitions));
            isolated_times.reserve(static_cast<std::size_t>(per_round * repetitions));
            for (int r = 0; r < repetitions; ++r) {
                for (int i = 0; i < per_round; ++i) {
                    if (paced) Sleep(1);
                    here_times.push_back(here.run_one());
                }
                const std::uint64_t before = allocation_count();
                const std::uint32_t bridge_before = isolated_plugin.bridge()->audio_allocations();
                for (int i = 0; i < per_round; ++i) {
                    if (paced) Sleep(1);
                    isolated_times.push_back(isolated.run_one());
                }
                player_allocations += allocation_count() - before;
                bridge_allocations += isolated_plugin.bridge()->audio_allocations() - bridge_before;
                chunks += static_cast<std::uint64_t>(per_round);
            }
            ok = ok && here.unchanged() && isolated.unchanged();
            print_added_row("2 ch x " + std::to_string(frames) + (paced ? ", 1 ms pause before each" : ", back to back"),
                            paced, here_times, isolated_times);
        }
    }
    ok = spin_study(configured, key, repetitions) && ok;
    print_count_row("Allocations, isolated, player side", "steady-state chunks", player_allocations, chunks);
    print_count_row("Allocations, isolated, bridge side", "steady-state chunks", bridge_allocations, chunks);

    // Acquire and release, alternating the two places one by one.
    timings here_acquire, isolated_acquire;
    for (int r = 0; r < repetitions; ++r) {
        double t0 = now_seconds();
        ok = acquire(configured, ++key, false)->loaded && ok;
        double t1 = now_seconds();
        ok = acquire(configured, ++key, true)->loaded && ok;
        here_acquire.add(t1 - t0);
        isolated_acquire.add(now_seconds() - t1);
    }
    const double added = isolated_acquire.min() - here_acquire.min();
    std::printf("| Acquire an instance, isolated | fresh key, 2 ch, with its release | %s (%s) | %s (%s) | +%s (+%s) | "
                "<= +150 ms | %s |\n",
                format_time(here_acquire.min()).c_str(), format_time(here_acquire.median()).c_str(),
                format_time(isolated_acquire.min()).c_str(), format_time(isolated_acquire.median()).c_str(),
                format_time(added).c_str(), format_time(isolated_acquire.median() - here_acquire.median()).c_str(),
                added <= k_acquire_added_target ? "met" : "MISSED");
    if (!ok) std::fprintf(stderr, "the pass-through plug-in changed the audio or failed to load\n");
    return ok ? 0 : 1;
}

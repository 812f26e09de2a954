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
constexpr double k_added_median_target = 50e-6;
constexpr double k_added_p99_target = 500e-6;
constexpr double k_acquire_added_target = 0.150;

void print_added_row(const std::string& which, const std::vector<double>& here, const std::vector<double>& isolated) {
    const double here_median = percentile(here, 0.5), here_p99 = percentile(here, 0.99);
    const double median = percentile(isolated, 0.5), p99 = percentile(isolated, 0.99);
    const double added_median = median - here_median, added_p99 = p99 - here_median;
    const bool met = added_median <= k_added_median_target && added_p99 <= k_added_p99_target;
    std::printf("| Added time per chunk, isolated | %s | %s (p99 %s) | %s (p99 %s) | +%s (p99 +%s) | median <= +50 us, "
                "p99 <= +500 us | %s |\n",
                which.c_str(), format_time(here_median).c_str(), format_time(here_p99).c_str(),
                format_time(median).c_str(), format_time(p99).c_str(), format_time(added_median).c_str(),
                format_time(added_p99).c_str(), met ? "met" : "MISSED");
    std::fflush(stdout);
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
                            here_times, isolated_times);
        }
    }
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

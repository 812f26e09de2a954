// A pass-through plug-in in a process of its own whose process is ended
// under it, again and again (a fresh instance each time, so that no limit
// on restarts is reached): the time from the end to the first chunk it
// processes again, and what the playback thread pays meanwhile, against
// the same plug-in's chunks in the player's process. Chunks come 1 ms
// apart, as a player's do.
#include <algorithm>
#include <vector>

#include "../Helpers/alloc_count.h"
#include "../Helpers/utf.h"
#include "../Helpers/win32_handles.h"
#include "../vst/isolated_plugin.h"
#include "../vst/vst.h"
#include "bench_host.h"
#include "bench_table.h"
#include "benches.h"
#include "chain_position.h"

namespace {

constexpr std::uint32_t k_frames = 1024;
constexpr double k_median_target = 0.250, k_maximum_target = 1.0;
// What the playback thread may pay per chunk meanwhile: the in-process
// audio path's own target over its floor.
constexpr double k_chunk_ratio_target = 1.5;
constexpr double k_give_up_seconds = 10.0;

// The value at fraction `p` of the figures, sorted where they are.
double sorted_at(std::vector<double>& v, double p) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

struct restart_record {
    std::vector<double> back_after;        // seconds from the end to the first chunk through it again
    std::vector<double> while_restarting;  // seconds per chunk that passed it by meanwhile
    std::uint64_t allocations = 0;         // theirs
};

// Ends the process of a fresh instance's plug-in under it and plays chunks
// 1 ms apart until one went through the restarted plug-in.
bool restart_once(bench_host& host, const entry& configured, std::uint32_t key, restart_record& record) {
    vst_ref plugin = acquire(configured, key, true);
    vst& v = *plugin;
    if (!v.loaded || !v.isolated()) {
        std::fprintf(stderr, "cannot load %s in a process of its own\n", configured.module_path.c_str());
        return false;
    }
    chain_position position(std::move(plugin), k_frames);
    for (int i = 0; i < 20; ++i) position.run_one();
    unique_handle process(OpenProcess(PROCESS_TERMINATE, FALSE, v.bridge()->process_id()));
    const double ended = now_seconds();
    TerminateProcess(process.get(), 3);
    while (now_seconds() - ended < k_give_up_seconds) {
        Sleep(1);
        const bool usable = v.usable();
        // The chunk that meets the end starts the restart; the ones after it
        // run while it goes on.
        const bool during = v.restarting;
        const std::uint64_t before = allocation_count_of_this_thread();
        const double took = position.run_one();
        if (during) {
            record.allocations += allocation_count_of_this_thread() - before;
            record.while_restarting.push_back(took);
        }
        if (usable && v.restarts.load() == 1) {
            record.back_after.push_back(now_seconds() - ended);
            return position.unchanged();
        }
    }
    host.host().pump();
    for (const popup_record& p : host.host().popups().messages()) std::fprintf(stderr, "it said: %s\n", p.text.c_str());
    std::fprintf(stderr, "not back after %.0f s: restarts %u, faulted %d, late blocks %llu\n", k_give_up_seconds,
                 v.restarts.load(), v.faulted ? 1 : 0, static_cast<unsigned long long>(v.late_blocks.load()));
    return false;
}

}  // namespace

int bench_restart(int faults) {
    bench_host host;
    restart_plugins_setting().set_state(true);
    count_allocations_in(GetModuleHandleW(nullptr));
    const entry configured(wide_to_utf8(pass_through_dll(2)));
    std::uint32_t key = 0x30000;

    std::vector<double> in_process;
    {
        chain_position here(acquire(configured, ++key, false), k_frames);
        for (int i = 0; i < 20; ++i) here.run_one();
        for (int i = 0; i < 2000; ++i) in_process.push_back(here.run_one());
    }

    restart_record record;
    record.while_restarting.reserve(100000);
    bool ok = true;
    for (int f = 0; f < faults && ok; ++f) ok = restart_once(host, configured, ++key, record);
    restart_plugins_setting().reset();
    if (!ok) {
        std::fprintf(stderr, "the plug-in did not come back, or changed the audio\n");
        return 1;
    }

    const double median = sorted_at(record.back_after, 0.5), maximum = sorted_at(record.back_after, 1.0);
    std::printf("| Restart, isolated | %d ends of its process, 2 ch x %u, chunks 1 ms apart | - | %s median, %s max | - "
                "| median <= 250 ms, max <= 1 s | %s |\n",
                faults, k_frames, format_time(median).c_str(), format_time(maximum).c_str(),
                median <= k_median_target && maximum <= k_maximum_target ? "met" : "MISSED");
    const double here_median = sorted_at(in_process, 0.5);
    const double during_median = sorted_at(record.while_restarting, 0.5), during_p99 = sorted_at(record.while_restarting, 0.99);
    const double ratio = here_median > 0 ? during_median / here_median : 0.0;
    std::printf("| Playback thread while restarting | chunks passed through, against in the player's process | %s "
                "| %s (p99 %s) in %zu chunks | %.2fx | <= %.2fx | %s |\n",
                format_time(here_median).c_str(), format_time(during_median).c_str(), format_time(during_p99).c_str(),
                record.while_restarting.size(), ratio, k_chunk_ratio_target,
                ratio <= k_chunk_ratio_target ? "met" : "MISSED");
    print_count_row("Allocations, playback thread while restarting", "chunks passed through", record.allocations,
                    record.while_restarting.size());
    return 0;
}

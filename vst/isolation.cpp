#include "isolation.h"

#include <atomic>

#include "../Helpers/utf.h"
#include "pe_machine.h"

namespace {

std::atomic<bool> g_isolate_every_plugin{false};

// Read for every block on the audio thread: each field on its own, no lock.
struct atomic_deadlines {
    std::atomic<std::uint32_t> audio_minimum_ms{bridge_deadlines{}.audio_minimum_ms};
    std::atomic<std::uint32_t> audio_chunk_periods{bridge_deadlines{}.audio_chunk_periods};
    std::atomic<std::uint32_t> open_ms{bridge_deadlines{}.open_ms};
    std::atomic<std::uint32_t> chunk_ms{bridge_deadlines{}.chunk_ms};
    std::atomic<std::uint32_t> other_ms{bridge_deadlines{}.other_ms};
};
atomic_deadlines g_deadlines;

}  // namespace

bool isolation_wanted(const entry&) { return g_isolate_every_plugin; }

void set_isolation_wanted(bool every_plugin) { g_isolate_every_plugin = every_plugin; }

bool runs_in_own_process(const std::string& resolved_path, const entry& configured, plugin_place place) {
    if (place != plugin_place::as_chosen) return place == plugin_place::own_process;
    const std::uint16_t machine = pe_machine(utf8_to_wide(resolved_path));
    if (machine == k_machine_x86 || machine == k_machine_x64) {
        if (machine != own_machine()) return true;
    }
    return isolation_wanted(configured);
}

bridge_deadlines current_bridge_deadlines() {
    bridge_deadlines d;
    d.audio_minimum_ms = g_deadlines.audio_minimum_ms.load(std::memory_order_relaxed);
    d.audio_chunk_periods = g_deadlines.audio_chunk_periods.load(std::memory_order_relaxed);
    d.open_ms = g_deadlines.open_ms.load(std::memory_order_relaxed);
    d.chunk_ms = g_deadlines.chunk_ms.load(std::memory_order_relaxed);
    d.other_ms = g_deadlines.other_ms.load(std::memory_order_relaxed);
    return d;
}

void set_bridge_deadlines(const bridge_deadlines& d) {
    g_deadlines.audio_minimum_ms.store(d.audio_minimum_ms, std::memory_order_relaxed);
    g_deadlines.audio_chunk_periods.store(d.audio_chunk_periods, std::memory_order_relaxed);
    g_deadlines.open_ms.store(d.open_ms, std::memory_order_relaxed);
    g_deadlines.chunk_ms.store(d.chunk_ms, std::memory_order_relaxed);
    g_deadlines.other_ms.store(d.other_ms, std::memory_order_relaxed);
}

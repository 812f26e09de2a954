#include "isolation.h"

#include <atomic>

#include "../Helpers/utf.h"
#include "../prefs/advanced_settings.h"
#include "../prefs/process_choice.h"
#include "module_path.h"
#include "pe_machine.h"

namespace {

// Read for every block on the audio thread: each field on its own, no lock.
struct atomic_deadlines {
    std::atomic<std::uint32_t> audio_minimum_ms{bridge_deadlines{}.audio_minimum_ms};
    std::atomic<std::uint32_t> audio_chunk_periods{bridge_deadlines{}.audio_chunk_periods};
    std::atomic<std::uint32_t> open_ms{bridge_deadlines{}.open_ms};
    std::atomic<std::uint32_t> chunk_ms{bridge_deadlines{}.chunk_ms};
    std::atomic<std::uint32_t> other_ms{bridge_deadlines{}.other_ms};
};
atomic_deadlines g_deadlines;

std::uint16_t foreign_machine_at(const std::string& resolved_path) {
    const std::uint16_t machine = pe_machine(utf8_to_wide(resolved_path));
    const bool known = machine == k_machine_x86 || machine == k_machine_x64;
    return known && machine != own_machine() ? machine : k_machine_unknown;
}

}  // namespace

bool isolation_wanted(const entry& configured) {
    return every_plugin_in_own_process_setting().get_state() || own_process_choice().own_process(configured.identifier);
}

std::uint16_t foreign_machine(const entry& configured) {
    return foreign_machine_at(resolve_module_path(configured.module_path));
}

bool runs_in_own_process(const std::string& resolved_path, const entry& configured, plugin_place place) {
    if (place != plugin_place::as_chosen) return place == plugin_place::own_process;
    if (foreign_machine_at(resolved_path) != k_machine_unknown) return true;
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

#include "isolation.h"

#include <atomic>
#include <mutex>

#include "../Helpers/utf.h"
#include "pe_machine.h"

namespace {

std::atomic<bool> g_isolate_every_plugin{false};

std::mutex& deadlines_lock() {
    static std::mutex m;
    return m;
}
bridge_deadlines& deadlines() {
    static bridge_deadlines d;
    return d;
}

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
    std::lock_guard<std::mutex> guard(deadlines_lock());
    return deadlines();
}

void set_bridge_deadlines(const bridge_deadlines& d) {
    std::lock_guard<std::mutex> guard(deadlines_lock());
    deadlines() = d;
}

#include "plugin_activity.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "../Helpers/critical_section.h"
#include "../Helpers/never_destroyed.h"
#include "instance_lock.h"
#include "vst.h"

namespace {

// Held only to add, remove and read the list: never while a plug-in runs.
critical_section& activity_lock() {
    static never_destroyed<critical_section> lock;
    return lock.get();
}

std::vector<vst*>& instances() {
    static never_destroyed<std::vector<vst*>> list;
    return list.get();
}

plugin_activity describe(vst& plugin) {
    plugin_activity a;
    a.module_path = plugin.module_path;
    // Validation writes the description; once it is over nothing changes it.
    if (plugin.constructed.load(std::memory_order_acquire)) {
        a.identifier = plugin.identifier;
        a.product_name = plugin.product_name;
    }
    // The current preset changes under the instance lock, which a thread
    // stuck in a plug-in may hold: taken only if free.
    if (instance_lock().try_enter()) {
        a.keyed = plugin.current_preset.get_data_size() >= sizeof a.key;
        if (a.keyed) std::memcpy(&a.key, plugin.current_preset.get_data(), sizeof a.key);
        instance_lock().leave();
    }
    if (!a.keyed) {
        a.key = plugin.key_being_restored.load();
        a.keyed = a.key != 0;
    }
    // The longer running of the audio thread's call and any other's.
    const std::uint32_t now = GetTickCount();
    for (const vst::call_record& record : plugin.calls_in_progress) {
        const char* call = record.name.load();
        if (!call) continue;
        const std::uint32_t ms = now - record.started.load();
        if (!a.call || ms > a.call_ms) {
            a.call = call;
            a.call_ms = ms;
        }
    }
    a.non_finite_samples = plugin.non_finite_samples.load();
    a.late_blocks = plugin.late_blocks.load();
    a.restarts = plugin.restarts.load(std::memory_order_relaxed);
    a.delay_frames = plugin.usable() ? plugin.reported_delay.load(std::memory_order_relaxed) : 0;
    return a;
}

}  // namespace

void join_activity(vst& plugin) {
    critical_section_scope guard(activity_lock());
    instances().push_back(&plugin);
}

void leave_activity(vst& plugin) {
    critical_section_scope guard(activity_lock());
    auto& list = instances();
    list.erase(std::remove(list.begin(), list.end(), &plugin), list.end());
}

void for_each_activity(const std::function<void(const plugin_activity&)>& visit) {
    std::vector<plugin_activity> seen;
    {
        critical_section_scope guard(activity_lock());
        for (vst* plugin : instances()) seen.push_back(describe(*plugin));
    }
    for (const plugin_activity& a : seen) visit(a);
}

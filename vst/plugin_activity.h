#pragma once
// What every plug-in instance is doing, for a watchdog: which call into it
// has not returned, and since when. Kept apart from the instance lock,
// which a thread stuck inside a plug-in may hold (a load hangs inside it):
// the watchdog can always read this.
#include <cstdint>
#include <functional>
#include <string>

#include "../host/dsp_preset.h"

class vst;

struct plugin_activity {
    std::string product_name;   // empty until the plug-in has been described
    std::string module_path;    // as configured
    GUID identifier{};          // as validation found it; zero until then
    bool keyed = false;         // whether the instance key is known
    std::uint32_t key = 0;      // its current preset's instance key
    const char* call = nullptr; // the call into the plug-in that has not returned, or null
    std::uint32_t call_ms = 0;  // how long it has been running
    std::uint64_t non_finite_samples = 0;
    std::uint64_t late_blocks = 0;
    std::uint32_t delay_frames = 0;  // its reported delay; 0 while it passes audio through
    std::uint32_t restarts = 0;      // times its process of its own was started again
};

// The vst's constructor joins, its destructor leaves (after its last call).
void join_activity(vst& plugin);
void leave_activity(vst& plugin);

// Any thread: every instance, in the order they were made.
void for_each_activity(const std::function<void(const plugin_activity&)>& visit);

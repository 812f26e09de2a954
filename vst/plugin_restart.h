#pragma once
// A plug-in in a process of its own whose process crashed, ended or hung is
// started again with its settings ("Restart plug-ins that stop in their own
// process"), on a thread of its own: the thread that met the fault, often
// the playback thread, never waits for it. Meanwhile the plug-in is not
// usable (its audio passes through); offline, the audio waits for it.
//
// What it gets back: effOpen, the sample rate and block size it had, its
// state (the preset it was given or last captured, with every parameter set
// since), then the resume. A plug-in that faults while it gets these, or
// stops more than k_max_restarts times in k_restart_window_ms, is switched
// off as any other.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "../Helpers/critical_section.h"
#include "../Helpers/win32_handles.h"
#include "../host/dsp_preset.h"
#include "guard/plugin_guard.h"

class vst;
class isolated_plugin;

inline constexpr std::uint32_t k_max_restarts = 3;
inline constexpr std::uint32_t k_restart_window_ms = 60000;

class plugin_restart {
public:
    plugin_restart();
    // stop() comes first.
    ~plugin_restart();
    plugin_restart(const plugin_restart&) = delete;
    plugin_restart& operator=(const plugin_restart&) = delete;
    // For a plug-in in a process of its own, before any audio: what a
    // restart needs that is worth making only for such a plug-in (an event
    // is a system call to make and one to close, on every acquisition).
    void prepare();

    enum class outcome { started, kept_failing, not_started };
    // The thread that met the fault (the caller has marked the plug-in as
    // restarting): starts the restart, unless the plug-in stopped
    // k_max_restarts times within the window already (kept_failing).
    outcome start(vst& plugin, const char* call, const plugin_fault& fault);
    // The plug-in closes: whatever a restart started is ended, and its
    // thread waited for (its calls come back once the process has ended).
    // No restart starts after this.
    void stop(isolated_plugin* bridge);
    bool closing() const { return closing_.load(std::memory_order_acquire); }

    bool on_restart_thread() const { return restart_thread_.load(std::memory_order_relaxed) == GetCurrentThreadId(); }
    // Waits up to `ms` for a restart that runs to end (offline audio).
    void await(std::uint32_t ms) const;
    // Changes when a restart begins: an editor opened before it closes.
    std::uint32_t generation() const { return generation_.load(std::memory_order_acquire); }

    // What the plug-in's state is now, as far as the component knows: a
    // preset it was given or captured from it (the parameters set before
    // are in it), and each parameter set since. Any thread.
    void note_state(const dsp_preset& state);
    void note_parameter(std::int32_t index, float value);
    // Room for the parameters the plug-in has (noted without allocating).
    void size_parameters(std::int32_t count);

private:
    static DWORD WINAPI thread_main(void* self);
    void run();
    bool replay(std::string& why);
    bool lock_audio();
    void finish(bool restarted, const std::string& why);

    vst* plugin_ = nullptr;
    const char* call_ = nullptr;  // what stopped it, for the message
    plugin_fault fault_;
    std::uint32_t count_ = 0;  // restarts within the window, this one included

    ULONGLONG started_[k_max_restarts] = {};
    unique_handle thread_;
    unique_handle done_;  // set while no restart runs
    std::atomic<DWORD> restart_thread_{0};
    std::atomic<bool> closing_{false};
    std::atomic<std::uint32_t> generation_{0};

    critical_section state_lock_;
    dsp_preset_impl state_;
    bool has_state_ = false;
    std::vector<float> parameters_;
    std::vector<std::uint8_t> parameter_set_;
};

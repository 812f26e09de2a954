#pragma once
// One loaded VST 2.4 effect plug-in: its DLL, its record and the state that
// audio processing keeps for it.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "../Helpers/critical_section.h"
#include "../Helpers/thread_slot.h"
#include "../Helpers/turn_lock.h"
#include "../Helpers/win32_handles.h"
#include "../host/dsp_preset.h"
#include "../shell/entry.h"
#include "../plugin_api/aeffect.h"
#include "instance_tracker.h"
#include "isolation.h"
#include "plugin_restart.h"
#include "guard/plugin_guard.h"
#include "host_callback.h"
#include "module_unload.h"
#include "stream_match.h"

class isolated_plugin;

// More ports than this is a record we do not believe: every port costs a
// buffer of a whole block.
constexpr std::int32_t k_max_plugin_ports = 256;

// The ports a plug-in reports now, or 0 when it reports none or more than
// we serve.
inline std::uint32_t plugin_port_count(std::int32_t n) {
    return n > 0 && n <= k_max_plugin_ports ? static_cast<std::uint32_t>(n) : 0;
}

// The longest text we keep of a name a plug-in gives (product, vendor,
// parameter names): what any list or title can show, and what the plug-in
// list file can hold on one line.
constexpr std::size_t k_plugin_text_limit = 127;
constexpr std::int32_t k_max_plugin_parameters = 1 << 16;
// Plug-ins write texts far past the interface's limits (4 KB without a
// terminator is not unheard of); the buffer they get is larger than any of
// that, and what we keep is cut to a sane length. Every text is asked in
// one (ask_text): a bridged plug-in's texts come back up to this size.
constexpr std::size_t k_plugin_text_buffer = 64 * 1024;

class vst final : public entry, public instanceTrackerV2<vst> {
public:
    // Loads and validates the plug-in; never throws for a bad plug-in. With
    // `check` the plug-in is closed again right after validation. `place`
    // says whether it runs in this process or in a bridge process of its own
    // (as_chosen: a DLL of the other architecture always does, another as
    // isolation_wanted says).
    vst(const entry& configured, bool check, plugin_place place = plugin_place::as_chosen);
    ~vst() override;
    vst(const vst&) = delete;
    vst& operator=(const vst&) = delete;

    // effClose and unload; leaves `effect` and `module` null.
    void close_plugin();

    // Every call into the plug-in goes through these. Each runs guarded: a
    // plug-in that faults is switched off (`faulted`), never called again,
    // and the user is told once. They answer 0 / do nothing when there is no
    // usable record or function. Any thread.
    std::intptr_t dispatch(std::int32_t opcode, std::int32_t index = 0, std::intptr_t value = 0,
                           void* ptr = nullptr, float opt = 0.0f);
    void set_parameter(std::int32_t index, float value);
    float get_parameter(std::int32_t index);
    // False when the plug-in has no replacing process function, faulted, or
    // (in a process of its own) did not give the block back in time: the
    // outputs then hold nothing to use. The arrays hold `input_ports` and
    // `output_ports` pointers: a bridged plug-in's record may say more by
    // the time the call is made.
    bool process_replacing(float** inputs, std::uint32_t input_ports, float** outputs, std::uint32_t output_ports,
                           std::int32_t frames);
    // Runs f, which reads memory the plug-in handed us, under the same guard:
    // a pointer that lies about its size faults the plug-in, not the player.
    template <class F>
    bool guarded(const char* call, F&& f);

    // A text the plug-in writes into a buffer we give it (names, labels,
    // displays): asked in a large zeroed buffer, since plug-ins write past
    // the interface's limits, and cut to `limit` bytes.
    std::string ask_text(std::int32_t opcode, std::int32_t index = 0, std::size_t limit = k_plugin_text_limit);

    // The parameters we believe the plug-in has: none for a negative count,
    // and no more than any real plug-in has for an absurd one.
    std::int32_t parameter_count() const;

    // Switches the plug-in off for a fault seen outside a call (it wrote
    // where it must not): as for a crash in `call`, told to the user once.
    void report_fault(const char* call, const plugin_fault& fault) { on_fault(call, fault); }

    // The call into the plug-in that has not returned yet (null when none)
    // and when it started (tick count), for a watchdog (plugin_activity.h):
    // one for the thread running the plug-in's audio, one for every other,
    // so that an editor's idle call cannot hide a stuck processReplacing.
    struct call_record {
        std::atomic<const char*> name{nullptr};
        std::atomic<std::uint32_t> started{0};
    };
    call_record calls_in_progress[2];  // [0] the audio thread, [1] any other
    // Set once construction (validation) is over: what it described may be
    // read from other threads.
    std::atomic<bool> constructed{false};

    // Audio thread: the plug-in put out samples that were no finite numbers
    // and were replaced with silence; the user is told the first time.
    void count_non_finite(std::uint32_t samples);
    std::atomic<std::uint64_t> non_finite_samples{0};
    // Chunks that passed a plug-in in a process of its own by, because it
    // was late with a block (a process of its own only).
    std::atomic<std::uint64_t> late_blocks{0};
    // The instance key of the preset a plug-in in a process of its own is
    // being given before it is published with it (0: none), so that a
    // watchdog can name its chain position meanwhile.
    std::atomic<std::uint32_t> key_being_restored{0};
    // The delay the plug-in reported (its initial delay, in frames) as of
    // its last chunk, for any thread to read.
    std::atomic<std::uint32_t> reported_delay{0};
    // Times its process of its own was started again after it stopped
    // (plugin_restart.h).
    std::atomic<std::uint32_t> restarts{0};

    // What the plug-in faulted with (its code is 0 while it has not).
    const plugin_fault& fault() const { return fault_; }

    // Loaded, not switched off after a fault and not being restarted: may be
    // given audio.
    bool usable() const { return loaded && !faulted && !restarting.load(std::memory_order_acquire); }
    // The call it faulted in (null while it has not).
    const char* fault_call() const { return fault_call_; }

    HMODULE module() const { return module_.get(); }
    // The plug-in runs (or ran, before a check-mode close) in a process of
    // its own; `effect` is then a stand-in record, and `bridge()` is set
    // while that process is in use.
    bool isolated() const { return isolated_; }
    isolated_plugin* bridge() const { return bridge_.get(); }
    AEffect* effect = nullptr;
    bool loaded = false;
    std::atomic<bool> editor_open{false};
    bool created_on_main_thread = false;
    std::string diagnosis;
    // The record's uniqueID as validation found it: the host callback's
    // answer to the plug-in's question, without reading its record again.
    std::int32_t unique_id = 0;
    // What effGetPlugCategory answered during validation (0 before it was
    // asked): tells an instrument from an offline process, which share
    // their diagnosis.
    std::int32_t category = 0;
    std::uint32_t ref_count = 0;
    dsp_preset_impl current_preset;
    critical_section state_lock;
    // Set once the plug-in faulted inside a call; it is never called again,
    // not even to close it, and its DLL stays loaded.
    std::atomic<bool> faulted{false};
    // Its process of its own stopped and is being started again
    // (plugin_restart.h): no thread calls it meanwhile but the restarting
    // one.
    std::atomic<bool> restarting{false};
    plugin_restart restart;
    // The restart did not bring it back: switched off for `call`'s fault,
    // unless a fault during the restart switched it off already.
    void switch_off_after_restart(const char* call, const plugin_fault& fault);
    // Offline audio waits for a restart that runs (its chunks would
    // otherwise pass the plug-in by, which nobody hears but the file keeps).
    void await_restart_offline() {
        if (restarting.load(std::memory_order_acquire)) await_restart_offline_slowly();
    }
    // Host callbacks running for this instance now (open_records.h).
    std::atomic<int> callbacks_in_flight{0};
    // The thread running this plug-in's audio while it does (its environment
    // block, which names it without a call), else null.
    std::atomic<const void*> audio_thread{nullptr};

    // Audio processing state. `audio_lock` serialises the threads that run
    // this plug-in's audio (two chains built from one preset, a declick run
    // while another instance processes).
    turn_lock audio_lock;
    std::uint32_t sample_rate = 0;
    std::uint32_t channels = 0;
    std::uint32_t alloc_inputs = 0;
    std::uint32_t alloc_outputs = 0;
    std::uint32_t alloc_data_size = 0;
    std::uint32_t block_size = 0;
    std::unique_ptr<float[]> input_buffer;
    std::unique_ptr<float[]> output_buffer;
    std::unique_ptr<float*[]> input_pointers;
    std::unique_ptr<float*[]> output_pointers;
    std::uint16_t output_count = 0;
    // How the stream's layout was matched to the plug-in, and its further
    // instances when it runs once per channel (stream_match.h).
    stream_match matching;

    // The answer to the plug-in's directory requests, made before the plug-in
    // can ask and never changed, so it outlives every callback.
    const std::string directory_answer;
    // Set by a deferred deletion; an acquisition never picks such an object.
    bool deletion_pending = false;

private:
    bool validate(bool check, plugin_place place);
    // Loading the DLL, finding its entry function and calling it, in this
    // process or in a bridge: the record the entry function returned, or
    // false with the diagnosis written.
    bool load_and_enter(AEffect*& record, plugin_place place);
    bool fail(const std::string& text);
    bool fail_to_start_bridge(std::uint16_t machine, const std::string& why);
    bool module_held_elsewhere() const;
    void await_restart_offline_slowly();
    // This thread calls the plug-in on the host's behalf (module_unload.h).
    static void note_calling_thread() {
        if (!t_host_thread_noted.get() && !inside_host_callback()) note_new_host_thread();
    }
    void on_fault(const char* call, const plugin_fault& fault);

    unique_module module_;
    std::uint32_t threads_mark_ = 0;  // module_unload.h
    std::unique_ptr<isolated_plugin> bridge_;
    bool isolated_ = false;
    const char* fault_call_ = nullptr;  // what faulted, for the diagnosis
    plugin_fault fault_;
    bool record_valid_ = false;  // the record passed the magic check
    std::string resolved_path_;
};

// Marks the thread running a plug-in's audio for as long as it does (under
// the plug-in's audio lock): the host callback serves no idle there.
class audio_thread_scope {
public:
    explicit audio_thread_scope(vst& plugin) : plugin_(plugin) {
        plugin_.audio_thread.store(current_teb(), std::memory_order_relaxed);
    }
    ~audio_thread_scope() { plugin_.audio_thread.store(nullptr, std::memory_order_relaxed); }
    audio_thread_scope(const audio_thread_scope&) = delete;
    audio_thread_scope& operator=(const audio_thread_scope&) = delete;

private:
    vst& plugin_;
};

template <class F>
bool vst::guarded(const char* call, F&& f) {
    if (faulted) return false;
    if (restarting.load(std::memory_order_acquire) && !restart.on_restart_thread()) return false;
    note_calling_thread();
    // Nested calls (a callback asks for idle) leave the outer one named.
    call_record& in_progress = calls_in_progress[audio_thread.load(std::memory_order_relaxed) == current_teb() ? 0 : 1];
    const char* outer = in_progress.name.load(std::memory_order_relaxed);
    if (!outer) {
        in_progress.started.store(GetTickCount(), std::memory_order_relaxed);
        in_progress.name.store(call, std::memory_order_release);
    }
    plugin_fault fault;
    const bool returned = call_guarded(fault, f);
    if (!outer) in_progress.name.store(nullptr, std::memory_order_release);
    if (returned) return true;
    on_fault(call, fault);
    return false;
}

#pragma once
// A plug-in in a bridge process of its own, as the component sees it: a
// stand-in record whose dispatcher, processReplacing, setParameter and
// getParameter forward to that process, and whose fields mirror the
// plug-in's record as it was after the last call. The `vst` holds it in
// place of the DLL; validation, audio, presets and the editor then run the
// same code as for a plug-in in this process.
//
// A fault of the plug-in inside a call, the end of its process, or a call
// that misses its deadline ends the process, and the stand-in's function
// raises the fault (or k_fault_process_ended / k_fault_process_hung) as a
// structured exception, so the caller's crash guard switches the plug-in
// off and tells the user, as for a fault in this process. The raise comes
// after everything the call held is released (the guard resumes without
// unwinding), and never from a call nested in another bridge call (the
// outer call reports it).
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "../../Helpers/win32_handles.h"
#include "../../plugin_api/aeffect.h"
#include "../../vst/isolated_plugin.h"
#include "bridge_channel.h"
#include "bridge_process.h"

class plugin_bridge final : public isolated_plugin, private host_call_server {
public:
    plugin_bridge() = default;
    // Closes the plug-in and ends the process, waiting for both (bounded by
    // their hang limits), unless let_go() was called.
    ~plugin_bridge() override;
    plugin_bridge(const plugin_bridge&) = delete;
    plugin_bridge& operator=(const plugin_bridge&) = delete;

    enum class opened { ready, refused_loading, no_entry, cannot_start };
    // Starts the bridge of the DLL's architecture; it loads the DLL and
    // finds its entry function. A bridge that does not answer counts as the
    // DLL refusing to load once a second, fresh bridge has failed as well;
    // one that cannot be started at all is `cannot_start`, and
    // start_failure() says why. Nothing is left running then.
    // `unattended`: see bridge_channel.
    opened open(const std::string& resolved_path, std::uint16_t machine, bool unattended);
    const std::string& start_failure() const { return start_failure_; }
    // Calls the entry function in the bridge: the stand-in record, or null.
    // Raises the plug-in's fault: call it inside the crash guard.
    AEffect* call_entry() override;

    // Lets the process close the plug-in and end by itself, without waiting
    // for either: for a thread that must not wait (it holds the instance
    // lock, or runs audio). The plug-in's host calls are answered as for no
    // instance from then on.
    void let_go() override;

    DWORD process_id() const override { return process_id_.load(std::memory_order_relaxed); }

    bool begin_restart(std::string& why) override;
    void end_restart() override;
    void abandon_restart() override;

    // The stand-in's functions enter and leave the bridge through these. A
    // thread other than the one restarting it is refused while a restart
    // swaps the process under the record.
    bool enter_use();
    void leave_use() { users_.fetch_sub(1); }
    // A block that was refused comes back as none.
    void refuse_block() { block_skipped_ = true; }
    // Heap allocations the bridge made serving audio, when it was started
    // with the counting asked for (ORVANE_BRIDGE_COUNT_ALLOCATIONS=1).
    std::uint32_t audio_allocations() const override;
    // And the time its audio thread spent spinning or serving, in
    // microseconds (modulo 2^32), at its last answer.
    std::uint32_t audio_busy_microseconds() const override;

    // The stand-in's functions (bridge_record.cpp) call these. They never
    // raise: `fault` receives what the stand-in raises, 0 for nothing.
    std::intptr_t dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr, float opt,
                           std::uint32_t& fault);
    void process(float** inputs, float** outputs, std::int32_t frames, std::uint32_t& fault);
    // Audio thread, before process: how many pointers the caller's arrays
    // hold. The record's counts follow every reply, from any thread, and may
    // have grown since the caller sized its arrays.
    void limit_ports(std::uint32_t inputs, std::uint32_t outputs) override {
        input_port_limit_ = inputs;
        output_port_limit_ = outputs;
    }
    // Audio thread, after process: whether the last block came back. When it
    // did not (the plug-in is late, or was busy with a late block, or the
    // block could not be handed over), the outputs hold nothing of it and the
    // caller's chunk passes through unchanged.
    bool block_skipped() const override { return block_skipped_; }
    // Once, after a block that could not be handed over at all: why, in
    // words for the user; null otherwise.
    const char* take_audio_trouble() override { return audio_trouble_.exchange(nullptr); }
    // Blocks the player lost because the plug-in was late.
    std::uint64_t late_blocks() const override { return late_blocks_.load(std::memory_order_relaxed); }
    void set_parameter(std::int32_t index, float value, std::uint32_t& fault);
    float get_parameter(std::int32_t index, std::uint32_t& fault);

    // What ended the process when nothing the player called was running: a
    // fault in a window procedure or on a thread of the plug-in's own. Null
    // for a fault inside a call (the call names it).
    const char* fault_place() const override;

private:
    opened open_once(const std::string& resolved_path, std::uint16_t machine, bool unattended);
    AEffect* enter(std::uint32_t& fault);
    void serve_host_call(bridge::message& m) override;
    // The plug-in's fields as the bridge saw them, into the stand-in.
    void mirror(const bridge::record_image& image);
    // What a finished exchange means: the fault to raise, 0 when the reply
    // can be read. Ends the process when the plug-in faulted.
    std::uint32_t settle(call_outcome outcome, const bridge::message& m);
    // Makes the audio mapping hold `ports` planes of `frames`, handing a new
    // one over on `call` when it must grow.
    bool fit_audio(bridge_channel::call& call, std::uint32_t ports, std::uint32_t frames, std::uint32_t& fault);
    // Sends one block and reads its outputs; false when it did not come back.
    bool run_block(bridge_channel::call& call, float** inputs, float** outputs, std::uint32_t ins, std::uint32_t outs,
                   std::uint32_t frames, std::uint32_t& fault);
    void skip_block(float** outputs, std::uint32_t outs, std::uint32_t frames);

    // process_ and what a restart on another thread may end it through.
    void set_process(std::unique_ptr<bridge_process> process);

    std::unique_ptr<bridge_process> process_;
    std::atomic<DWORD> process_id_{0};
    // What open() was given, for a restart.
    std::string resolved_path_;
    std::uint16_t machine_ = 0;
    bool unattended_ = false;
    // Threads inside the stand-in's functions, and the one thread let in
    // while a restart runs (0: every thread).
    std::atomic<int> users_{0};
    std::atomic<DWORD> only_thread_{0};
    // The process handle another thread may end a restart through, under
    // kill_lock_; once abandoned, a restart starts nothing more.
    critical_section kill_lock_;
    HANDLE kill_target_ = nullptr;
    bool abandoned_ = false;
    std::unique_ptr<bridge_channel> channel_;
    AEffect record_{};
    std::string start_failure_;
    bool let_go_ = false;

    // What the late limit is made of: the rate the plug-in was given.
    std::atomic<float> sample_rate_{44100.0f};
    // The block size the plug-in was told: it may write that many frames
    // into every output, whatever a block holds.
    std::atomic<std::uint32_t> told_block_{0};

    // The audio mapping: planes of `audio_stride_` floats, inputs first.
    unique_handle audio_mapping_;
    unique_view audio_view_;
    float* audio_ = nullptr;  // in audio_view_
    std::uint32_t audio_ports_ = 0;
    std::uint32_t audio_stride_ = 0;
    // The length after which the planes' guard zones start (0: none armed).
    std::uint32_t armed_frames_ = 0;
    std::uint32_t input_port_limit_ = 0;
    std::uint32_t output_port_limit_ = 0;
    bool block_skipped_ = false;
    std::atomic<std::uint64_t> late_blocks_{0};
    // What kept a block from the plug-in, told once (take_audio_trouble).
    void note_audio_trouble(const char* why) {
        if (!audio_trouble_told_) audio_trouble_ = why;
        audio_trouble_told_ = true;
    }
    std::atomic<const char*> audio_trouble_{nullptr};
    bool audio_trouble_told_ = false;

    // The last rectangle and chunk the plug-in answered, kept until the next
    // one as the plug-in would keep its own.
    ERect rect_{};
    unique_handle chunk_mapping_;
    unique_view chunk_view_;
};

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

#include "../Helpers/win32_handles.h"
#include "aeffect.h"
#include "bridge_channel.h"
#include "bridge_process.h"

class plugin_bridge final : private host_call_server {
public:
    plugin_bridge() = default;
    // Asks the bridge to unload the plug-in and end (bounded), then ends it.
    ~plugin_bridge();
    plugin_bridge(const plugin_bridge&) = delete;
    plugin_bridge& operator=(const plugin_bridge&) = delete;

    enum class opened { ready, refused_loading, no_entry };
    // Starts the bridge of the DLL's architecture; it loads the DLL and
    // finds its entry function. Any failure to start or answer counts as
    // the DLL refusing to load, once a second, fresh bridge has failed as
    // well; nothing is left running then.
    opened open(const std::string& resolved_path, std::uint16_t machine);
    // Calls the entry function in the bridge: the stand-in record, or null.
    // Raises the plug-in's fault: call it inside the crash guard.
    AEffect* call_entry();

    DWORD process_id() const { return process_ ? process_->id() : 0; }
    // Heap allocations the bridge made serving audio, when it was started
    // with the counting asked for (ORVANE_BRIDGE_COUNT_ALLOCATIONS=1).
    std::uint32_t audio_allocations() const;

    // The stand-in's functions (bridge_record.cpp) call these. They never
    // raise: `fault` receives what the stand-in raises, 0 for nothing.
    std::intptr_t dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr, float opt,
                           std::uint32_t& fault);
    void process(float** inputs, float** outputs, std::int32_t frames, std::uint32_t& fault);
    // Audio thread, before process: how many pointers the caller's arrays
    // hold. The record's counts follow every reply, from any thread, and may
    // have grown since the caller sized its arrays.
    void limit_ports(std::uint32_t inputs, std::uint32_t outputs) {
        input_port_limit_ = inputs;
        output_port_limit_ = outputs;
    }
    void set_parameter(std::int32_t index, float value, std::uint32_t& fault);
    float get_parameter(std::int32_t index, std::uint32_t& fault);

private:
    opened open_once(const std::string& resolved_path, std::uint16_t machine);
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
    std::uint32_t audio_deadline_ms(std::uint32_t frames) const;
    void unmap_views();

    std::unique_ptr<bridge_process> process_;
    std::unique_ptr<bridge_channel> channel_;
    AEffect record_{};

    // What the audio deadline is made of: the rate the plug-in was given and
    // the frames of the last block.
    std::atomic<float> sample_rate_{44100.0f};
    std::atomic<std::uint32_t> block_frames_{0};

    // The audio mapping: planes of `audio_stride_` floats, inputs first.
    unique_handle audio_mapping_;
    float* audio_ = nullptr;
    std::uint32_t audio_ports_ = 0;
    std::uint32_t audio_stride_ = 0;
    // The block length whose guard zones the planes hold (0: none armed).
    std::uint32_t armed_frames_ = 0;
    std::uint32_t input_port_limit_ = 0;
    std::uint32_t output_port_limit_ = 0;

    // The last rectangle and chunk the plug-in answered, kept until the next
    // one as the plug-in would keep its own.
    ERect rect_{};
    unique_handle chunk_mapping_;
    void* chunk_view_ = nullptr;
};

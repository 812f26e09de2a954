#pragma once
// The one plug-in a bridge process hosts: its DLL, its record, and the
// player's requests served on it. Every call into the plug-in's code, and
// every read of memory it hands over, runs under the same crash guard as
// in the player; a fault is answered as such, and the plug-in is never
// called again (the player then ends this process).
#include <windows.h>

#include <array>
#include <atomic>
#include <cstdint>

#include "../../Helpers/critical_section.h"
#include "../../Helpers/win32_handles.h"
#include "../../plugin_api/aeffect.h"
#include "../../vst/guard/plugin_guard.h"
#include "bridge_link.h"
#include "editor_frame.h"

namespace bridge {

class plugin_slot final : public request_handler {
public:
    explicit plugin_slot(bridge_link& link);
    plugin_slot(const plugin_slot&) = delete;
    plugin_slot& operator=(const plugin_slot&) = delete;

    void serve(lane_index lane, message& m) override;
    // Set by command_quit; ends the window thread's loop.
    const bool& quit() const { return quit_; }
    // The window thread, once the loop ended: closes the plug-in if the
    // player has not (it let go of it), after its audio thread is out of
    // the plug-in.
    void close();

    // The plug-in's audioMasterCallback lands here (host_calls.cpp). Any thread.
    std::intptr_t call_host(AEffect* effect, std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                            float opt);

private:
    void open_module(message& m);
    void call_entry(message& m);
    void dispatch(message& m);
    void dispatch_pointer(message& m, AEffect* e);
    void process(message& m);
    void map_audio(message& m);

    // Runs f, a plain call into the plug-in or a read of its memory, under
    // the guard. False, with the reply marked faulted, when it faulted now
    // or earlier.
    template <class F>
    bool guarded(message& m, F&& f);
    // A fault met outside a reply's own guard (inside a host call the
    // plug-in made): the reply of the call in progress carries it.
    void note_fault(std::uint32_t code);
    void write_image(message& m);
    // Reads a record the plug-in gave us; false when it cannot be read.
    bool read_image(const AEffect* record, record_image& out);

    bridge_link& link_;
    unique_module module_;
    VstPluginMainProc entry_ = nullptr;
    AEffect* effect_ = nullptr;
    std::atomic<bool> faulted_{false};
    bool closed_ = false;                   // effClose was sent
    std::atomic<bool> in_audio_{false};     // the audio thread is inside the plug-in
    std::atomic<std::uint32_t> fault_code_{0};
    bool quit_ = false;
    editor_frame frame_;

    // The audio mapping: input planes, output planes, then a page that
    // faults, so a plug-in writing past its last output faults at once.
    unique_handle audio_mapping_;
    unique_view audio_view_;
    float* audio_ = nullptr;  // in audio_view_
    std::size_t audio_bytes_ = 0;  // usable, without the closing page
    std::array<float*, 256> inputs_{};
    std::array<float*, 256> outputs_{};

    // The directory text answered to the plug-in: it must outlive the call.
    critical_section directory_lock_;
    char directory_[1024] = {};
};

template <class F>
bool plugin_slot::guarded(message& m, F&& f) {
    if (faulted_) {
        m.status = fault_code_ ? status_faulted : status_not_ready;
        m.fault_code = fault_code_;
        return false;
    }
    plugin_fault fault;
    if (!call_guarded(fault, f)) note_fault(fault.code);
    if (!faulted_) return true;
    m.status = status_faulted;
    m.fault_code = fault_code_;
    return false;
}

}  // namespace bridge

#pragma once
// One loaded VST 2.4 effect plug-in: its DLL, its record and the state that
// audio processing keeps for it.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "../Helpers/critical_section.h"
#include "../Helpers/win32_handles.h"
#include "../host/dsp_preset.h"
#include "../shell/entry.h"
#include "aeffect.h"
#include "instance_tracker.h"

class vst final : public entry, public instanceTrackerV2<vst> {
public:
    // Loads and validates the plug-in; never throws for a bad plug-in. With
    // `check` the plug-in is closed again right after validation.
    vst(const entry& configured, bool check);
    ~vst() override;
    vst(const vst&) = delete;
    vst& operator=(const vst&) = delete;

    // effClose and unload; leaves `effect` and `module` null.
    void close_plugin();
    // Sends an opcode to the plug-in; answers 0 when there is no usable record.
    std::intptr_t dispatch(std::int32_t opcode, std::int32_t index = 0, std::intptr_t value = 0,
                           void* ptr = nullptr, float opt = 0.0f);

    HMODULE module() const { return module_.get(); }
    AEffect* effect = nullptr;
    bool loaded = false;
    std::atomic<bool> editor_open{false};
    bool created_on_main_thread = false;
    std::string diagnosis;
    std::uint32_t ref_count = 0;
    dsp_preset_impl current_preset;
    critical_section state_lock;

    // Audio processing state; touched only by the thread that runs audio.
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

    // The answer to the plug-in's last directory request, kept so that the
    // text outlives the callback.
    std::string directory_answer;
    // Set by a deferred deletion; an acquisition never picks such an object.
    bool deletion_pending = false;

private:
    bool validate(bool check);
    bool fail(const char* text);

    unique_module module_;
    bool record_valid_ = false;  // the record passed the magic check
    std::string resolved_path_;
};

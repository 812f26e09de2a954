#pragma once
// The edit callback of a menu edit: each preset the popup reports waits for
// the chain edit queued before it, then queues its own for the main thread.
#include <windows.h>

#include "../Helpers/win32_handles.h"
#include "../host/dsp.h"
#include "../host/dsp_preset.h"

class dsp_menu_callback final : public dsp_preset_edit_callback {
public:
    // Opens the process's sync event, "DspMenuCallbackSync".
    explicit dsp_menu_callback(const dsp_preset& preset);

    // Menu-edit thread.
    void on_preset_changed(const dsp_preset& preset) override;
    // The chain entry this menu edit stands for now.
    const dsp_preset_impl& preset() const { return preset_; }

private:
    dsp_preset_impl preset_;
    unique_handle event_;
};

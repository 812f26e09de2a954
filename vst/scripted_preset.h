#pragma once
// The plug-in of a DSP preset, opened for a scripting caller: acquired the
// way a DSP instance acquires it (so it shares the instance a running chain
// holds for the same preset), worked on, and its state captured into a new
// preset. The messages the component would show meanwhile are kept, not
// shown. Failures are script_error. Main thread.
#include <cstdint>
#include <string>

#include "../host/dsp_preset.h"
#include "../shell/popups.h"
#include "vst_ref.h"

class scripted_preset {
public:
    struct parameter {
        float value;
        std::string name;
        std::string display;
        std::string label;
    };

    // `subject` names the preset in error texts ("chain position 2").
    scripted_preset(const dsp_preset& preset, std::string subject);

    const std::string& product_name() const;
    std::int32_t parameter_count() const;
    parameter describe(std::int32_t index);
    void set_parameter(std::uint32_t index, float value);
    void load_program(const std::string& path);
    // The plug-in's state in a new preset with a fresh instance key.
    dsp_preset_impl capture();

private:
    // Lives longer than the reference, so that an acquisition that fails
    // shows nothing.
    popup_capture popups_;
    std::string subject_;
    GUID owner_{};
    vst_ref plugin_;
};

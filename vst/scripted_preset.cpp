#include "scripted_preset.h"

#include <cstdio>

#include "../Helpers/one_line.h"
#include "../shell/identifier_text.h"
#include "../shell/list_file.h"
#include "../shell/script_error.h"
#include "program_file.h"
#include "preset_state.h"
#include "vst.h"

namespace {
// What a parameter's texts are cut to: what a line of parameters can show.
constexpr std::size_t k_parameter_text_limit = 63;
}  // namespace

scripted_preset::scripted_preset(const dsp_preset& preset, std::string subject)
    : subject_(std::move(subject)), owner_(preset.get_owner()) {
    // The list as the file holds it now, not as it was when the player started.
    entry_list list;
    load_list(list);
    const entry* configured = nullptr;
    for (const auto& candidate : list)
        if (!configured && is_plugin_identifier(owner_) && candidate->identifier == owner_)
            configured = candidate.get();
    if (!configured) throw script_error(vst_script_not_listed, subject_ + " is not one of the VST effects");
    plugin_ = vst_ref(*configured, preset);
    if (!plugin_->loaded) throw script_error(vst_script_refused, one_line(plugin_->diagnosis));
}

const std::string& scripted_preset::product_name() const { return plugin_->product_name; }

std::int32_t scripted_preset::parameter_count() const { return plugin_->parameter_count(); }

scripted_preset::parameter scripted_preset::describe(std::int32_t index) {
    vst& p = *plugin_;
    return {p.get_parameter(index), p.ask_text(effGetParamName, index, k_parameter_text_limit),
            p.ask_text(effGetParamDisplay, index, k_parameter_text_limit),
            p.ask_text(effGetParamLabel, index, k_parameter_text_limit)};
}

void scripted_preset::set_parameter(std::uint32_t index, float value) {
    if (!(value >= 0.0f && value <= 1.0f)) {
        char text[64];
        std::snprintf(text, sizeof text, "a parameter value runs from 0 to 1, not %g", static_cast<double>(value));
        throw script_error(vst_script_bad_argument, text);
    }
    const auto count = static_cast<std::uint32_t>(parameter_count());
    if (index >= count)
        throw script_error(vst_script_out_of_range, product_name() + " has no parameter with index " +
                                                        std::to_string(index) + " (it has " +
                                                        std::to_string(count) + ")");
    plugin_->set_parameter(static_cast<std::int32_t>(index), value);
}

void scripted_preset::load_program(const std::string& path) {
    const std::size_t shown_before = popups_.messages().size();
    try {
        load_fxp(*plugin_, path);
    } catch (const std::exception& e) {
        throw script_error(vst_script_io_error, "cannot read " + path + ": " + e.what());
    }
    // A plug-in that crashed meanwhile is reported by the capture.
    if (plugin_->faulted) return;
    const auto& shown = popups_.messages();
    for (std::size_t i = shown.size(); i-- > shown_before;)
        if (shown[i].icon == popup_message::icon_error)
            throw script_error(vst_script_refused, path + ": " + shown[i].text);
}

dsp_preset_impl scripted_preset::capture() {
    dsp_preset_impl captured;
    const std::size_t shown_before = popups_.messages().size();
    if (capture_preset(*plugin_, owner_, captured)) return captured;
    // A plug-in that crashed has no state to give, one whose state is too
    // large gives none we keep; the stored one stays.
    const auto& shown = popups_.messages();
    if (!plugin_->faulted && shown.size() > shown_before)
        throw script_error(vst_script_refused, shown.back().text + " " + subject_ + " keeps its settings.");
    throw script_error(vst_script_refused,
                       product_name() + " crashed and was switched off; " + subject_ + " keeps its settings");
}

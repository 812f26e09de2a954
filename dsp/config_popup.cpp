#include "config_popup.h"

#include "../shell/popups.h"
#include "../vst/vst.h"
#include "../vst/vst_ref.h"
#include "editor_host.h"

namespace {

class keep_last_preset final : public dsp_preset_edit_callback {
public:
    explicit keep_last_preset(const dsp_preset& start) : preset(start) {}
    void on_preset_changed(const dsp_preset& p) override { preset.assign(p); }
    dsp_preset_impl preset;
};

// Holds a plug-in's editor_open flag for one popup and clears it however the
// popup ends.
class editor_open_claim {
public:
    explicit editor_open_claim(vst& plugin) : plugin_(plugin), claimed_(!plugin.editor_open.exchange(true)) {}
    ~editor_open_claim() {
        if (claimed_) plugin_.editor_open = false;
    }
    editor_open_claim(const editor_open_claim&) = delete;
    editor_open_claim& operator=(const editor_open_claim&) = delete;
    bool claimed() const { return claimed_; }

private:
    vst& plugin_;
    bool claimed_;
};

}  // namespace

void show_config_popup_with_callback(const entry& slot, const dsp_preset& preset, HWND parent,
                                     dsp_preset_edit_callback& callback) {
    vst_ref plugin(slot, preset);
    if (!plugin->loaded) {
        show_popup(plugin->diagnosis, k_title_error, popup_message::icon_error);
    } else if (plugin->faulted) {
        show_popup("The VST plug-in \"" + plugin->product_name +
                       "\" has been switched off after a crash; its editor can't be opened.",
                   k_title_error, popup_message::icon_error);
    } else if (!plugin->has_editor) {
        show_popup("This feature isn't implemented for no-GUI plug-ins yet. Sorry.", k_title_not_implemented,
                   popup_message::icon_information);
    } else {
        // Claimed only now, in one step with its test, so two popups started
        // at once on two threads cannot both open an editor, while a popup
        // showing one of the messages above holds nothing up.
        editor_open_claim claim(*plugin);
        if (claim.claimed()) run_editor(*plugin, slot, preset, parent, callback);
    }
}

bool show_config_popup_returning(const entry& slot, dsp_preset& preset, HWND parent) {
    keep_last_preset last(preset);
    show_config_popup_with_callback(slot, preset, parent, last);
    if (last.preset.equals(preset)) return false;
    preset.assign(last.preset);
    return true;
}

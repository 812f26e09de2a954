#include "config_popup.h"

#include "../shell/popups.h"
#include "../vst/shared_instances.h"
#include "../vst/vst.h"
#include "editor_host.h"

namespace {

class keep_last_preset final : public dsp_preset_edit_callback {
public:
    explicit keep_last_preset(const dsp_preset& start) : preset(start) {}
    void on_preset_changed(const dsp_preset& p) override { preset.assign(p); }
    dsp_preset_impl preset;
};

}  // namespace

void show_config_popup_with_callback(const entry& slot, const dsp_preset& preset, HWND parent,
                                     dsp_preset_edit_callback& callback) {
    vst* plugin = acquire_vst(slot, preset);
    // One step tests and takes the flag, so two popups started at once on
    // two threads cannot both open an editor.
    const bool already_open = plugin->editor_open.exchange(true);
    if (already_open) {
        if (!plugin->loaded) show_popup(plugin->diagnosis, k_title_error, popup_message::icon_error);
    } else {
        if (!plugin->loaded)
            show_popup(plugin->diagnosis, k_title_error, popup_message::icon_error);
        else if (!plugin->has_editor)
            show_popup("This feature isn't implemented for no-GUI plug-ins yet. Sorry.", k_title_not_implemented,
                       popup_message::icon_information);
        else
            run_editor(*plugin, slot, preset, parent, callback);
        plugin->editor_open = false;
    }
    release_vst(plugin);
}

bool show_config_popup_returning(const entry& slot, dsp_preset& preset, HWND parent) {
    keep_last_preset last(preset);
    show_config_popup_with_callback(slot, preset, parent, last);
    if (last.preset.equals(preset)) return false;
    preset.assign(last.preset);
    return true;
}

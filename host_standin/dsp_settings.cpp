#include "dsp_settings.h"

#include "../host/dsp.h"

namespace {

class chain_position_edit final : public dsp_preset_edit_callback {
public:
    chain_position_edit(dsp_chain_store& chain, std::size_t position) : chain_(chain), position_(position) {}
    void on_preset_changed(const dsp_preset& preset) override {
        dsp_chain_config_impl chain;
        chain_.read_chain(chain);
        if (position_ < chain.get_count()) {
            chain.replace_item(preset, position_);
            chain_.write_chain(chain);
        }
        reported = true;
    }
    bool reported = false;

private:
    dsp_chain_store& chain_;
    std::size_t position_;
};

}  // namespace

bool edit_dsp_settings(component_host& host, std::size_t position, HWND parent) {
    dsp_chain_config_impl chain;
    host.chain().read_chain(chain);
    if (position >= chain.get_count()) return false;
    const dsp_preset_impl preset(chain.get_item(position));
    service_ptr_t<dsp_entry> dsp;
    for (auto& e : host.services<dsp_entry>())
        if (!dsp && e->get_guid() == preset.get_owner()) dsp = e;
    if (!dsp || !dsp->has_config_popup()) return false;

    chain_position_edit edit(host.chain(), position);
    service_ptr_t<dsp_entry_v2> v2;
    if (dsp.query_as(v2)) {
        v2->show_config_popup_v2(preset, parent, edit);
    } else {
        dsp_preset_impl copy(preset);
        if (dsp->show_config_popup(copy, parent)) edit.on_preset_changed(copy);
    }
    return edit.reported;
}

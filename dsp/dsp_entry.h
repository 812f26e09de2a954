#pragma once
// The DSP entry of one slot: it names the effect after entry N of the
// plug-in list and creates DSP instances for it.
#include "../host/dsp.h"
#include "../shell/plugin_list.h"

template <class Svc>
class dsp_entry_v2_impl_t : public dsp_entry_v2 {
public:
    bool query(service_base*& out, const GUID& guid) override {
        return answer_query<dsp_entry_v2_impl_t, dsp_entry_v2, dsp_entry>(this, out, guid);
    }
    void get_name(string_base& out) override { out.set_string(slot().product_name.c_str()); }
    bool get_default_preset(dsp_preset& out) override;
    bool instantiate(service_ptr_t<dsp>& out, const dsp_preset& preset) override;
    GUID get_guid() override { return slot().identifier; }
    bool has_config_popup() override { return true; }
    bool show_config_popup(dsp_preset& preset, HWND parent) override;
    void show_config_popup_v2(const dsp_preset& preset, HWND parent, dsp_preset_edit_callback& callback) override;

private:
    // Slots are registered only for entries that exist.
    static const entry& slot() { return *slot_entry(Svc::slot_index); }
};

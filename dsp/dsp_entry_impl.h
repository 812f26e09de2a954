#pragma once
// The operations of a slot's DSP entry; one template serves all twenty.
#include <cstring>

#include "../shell/popups.h"
#include "../vst/instance_key.h"
#include "../vst/vst_ref.h"
#include "../vst/vst.h"
#include "config_popup.h"
#include "dsp_entry.h"
#include "svc.h"

template <class Svc>
bool dsp_entry_v2_impl_t<Svc>::get_default_preset(dsp_preset& out) {
    std::uint32_t key = make_instance_key();
    unsigned char data[4];
    for (int i = 0; i < 4; ++i) data[i] = static_cast<unsigned char>(key >> (8 * i));
    out.set_owner(slot().identifier);
    out.set_data(data, sizeof data);
    return true;
}

// Any thread.
template <class Svc>
bool dsp_entry_v2_impl_t<Svc>::instantiate(service_ptr_t<dsp>& out, const dsp_preset& preset) {
    if (preset.get_owner() != slot().identifier) return false;
    out = make_service<Svc>(vst_ref(slot(), preset));
    return true;
}

template <class Svc>
bool dsp_entry_v2_impl_t<Svc>::show_config_popup(dsp_preset& preset, HWND parent) {
    return show_config_popup_returning(slot(), preset, parent);
}

template <class Svc>
void dsp_entry_v2_impl_t<Svc>::show_config_popup_v2(const dsp_preset& preset, HWND parent,
                                                     dsp_preset_edit_callback& callback) {
    show_config_popup_with_callback(slot(), preset, parent, callback);
}

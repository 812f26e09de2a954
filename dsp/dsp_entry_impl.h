#pragma once
#include "../vst/instance_key.h"
#include "dsp_entry.h"

template <class Svc>
bool dsp_entry_v2_impl_t<Svc>::get_default_preset(dsp_preset& out) {
    std::uint32_t key = make_instance_key();
    unsigned char data[4];
    for (int i = 0; i < 4; ++i) data[i] = static_cast<unsigned char>(key >> (8 * i));
    out.set_owner(slot().identifier);
    out.set_data(data, sizeof data);
    return true;
}

template <class Svc>
bool dsp_entry_v2_impl_t<Svc>::instantiate(service_ptr_t<dsp>&, const dsp_preset&) {
    return false;
}

template <class Svc>
bool dsp_entry_v2_impl_t<Svc>::show_config_popup(dsp_preset&, HWND) {
    return false;
}

template <class Svc>
void dsp_entry_v2_impl_t<Svc>::show_config_popup_v2(const dsp_preset&, HWND, dsp_preset_edit_callback&) {}

#pragma once
// The host's playback DSP chain and the hook that hears about its changes.
#include "dsp_chain.h"
#include "service.h"

class dsp_config_manager : public service_base {
public:
    using service_class = dsp_config_manager;
    static constexpr GUID class_guid = {0xEE65D408, 0x70D6, 0x40F6, {0x94, 0x0D, 0xD9, 0xF5, 0x37, 0xF1, 0xBE, 0xF1}};
    virtual void read_chain(dsp_chain_config& out) = 0;         // 3
    // The host then runs the new chain and tells every dsp_config_callback.
    virtual void write_chain(const dsp_chain_config& chain) = 0; // 4
};

class dsp_config_callback : public service_base {
public:
    using service_class = dsp_config_callback;
    static constexpr GUID class_guid = {0xF8F03D26, 0xC2DA, 0x47ED, {0x87, 0x48, 0x1D, 0xBA, 0xCB, 0xCE, 0xA5, 0x08}};
    virtual void on_chain_changed(const dsp_chain_config& chain) = 0;
};

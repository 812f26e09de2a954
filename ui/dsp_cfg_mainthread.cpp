#include "dsp_cfg_mainthread.h"

#include "../host/dsp_chain.h"
#include "../host/dsp_config.h"
#include "../shell/component.h"

dsp_cfg_mainthread::dsp_cfg_mainthread(const dsp_preset& new_preset, const dsp_preset& old_preset,
                                       unique_handle event)
    : new_preset_(new_preset), old_preset_(old_preset), event_(std::move(event)) {}

dsp_cfg_mainthread::~dsp_cfg_mainthread() {
    if (event_) SetEvent(event_.get());
}

void dsp_cfg_mainthread::run() {
    auto config = host_service<dsp_config_manager>();
    dsp_chain_config_impl chain;
    config->read_chain(chain);
    // The entry was changed or removed meanwhile: the edit is dropped.
    for (std::size_t i = 0; i < chain.get_count(); ++i) {
        if (!chain.get_item(i).equals(old_preset_)) continue;
        chain.replace_item(new_preset_, i);
        config->write_chain(chain);
        return;
    }
}

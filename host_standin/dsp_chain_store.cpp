#include "dsp_chain_store.h"

void dsp_chain_store::read_chain(dsp_chain_config& out) {
    std::lock_guard<std::mutex> lock(mutex_);
    out.copy_from(chain_);
}

void dsp_chain_store::write_chain(const dsp_chain_config& chain) {
    dsp_chain_config_impl copy;
    copy.copy_from(chain);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        chain_ = copy;
    }
    // Callbacks first: they load plug-ins on the main thread before the
    // playback thread rebuilds its DSPs.
    for (const listener& l : listeners_) l(copy);
    ++generation_;
}

void dsp_chain_store::load(const dsp_chain_config& chain) {
    std::lock_guard<std::mutex> lock(mutex_);
    chain_.copy_from(chain);
}

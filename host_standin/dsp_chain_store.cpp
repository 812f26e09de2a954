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
    for (const listener& l : listeners_) l(copy);
}

void dsp_chain_store::load(const dsp_chain_config& chain) {
    std::lock_guard<std::mutex> lock(mutex_);
    chain_.copy_from(chain);
}

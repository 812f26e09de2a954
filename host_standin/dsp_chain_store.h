#pragma once
// The host's playback DSP chain. Writing it tells every chain callback and
// whoever runs the chain.
#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

#include "../host/dsp_config.h"

class dsp_chain_store : public dsp_config_manager {
public:
    using listener = std::function<void(const dsp_chain_config&)>;

    bool query(service_base*& out, const GUID& guid) override {
        return answer_query<dsp_chain_store, dsp_config_manager>(this, out, guid);
    }
    void read_chain(dsp_chain_config& out) override;
    void write_chain(const dsp_chain_config& chain) override;

    // Sets the chain without telling anyone (restoring saved state).
    void load(const dsp_chain_config& chain);
    void add_listener(listener l) { listeners_.push_back(std::move(l)); }
    // Counts the writes, so a playback thread can tell the chain changed.
    unsigned generation() const { return generation_; }

private:
    mutable std::mutex mutex_;
    dsp_chain_config_impl chain_;
    std::vector<listener> listeners_;
    std::atomic<unsigned> generation_{0};
};

#include "playback.h"

#include <atomic>
#include <exception>
#include <memory>
#include <thread>

playback_chain::playback_chain(component_host& host, const dsp_chain_config& chain) {
    auto entries = host.services<dsp_entry>();
    for (std::size_t i = 0; i < chain.get_count(); ++i) {
        const dsp_preset& preset = chain.get_item(i);
        for (auto& e : entries) {
            if (e->get_guid() != preset.get_owner()) continue;
            service_ptr_t<dsp> instance;
            if (e->instantiate(instance, preset) && instance) dsps_.push_back(instance);
            break;
        }
    }
}

void playback_chain::run(dsp_chunk_list& list, int flags) {
    for (auto& d : dsps_) d->run(&list, nullptr, flags);
}

void play(component_host& host, const playback_callbacks& callbacks) {
    std::atomic<bool> done{false};
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            unsigned seen = host.chain().generation();
            dsp_chain_config_impl chain;
            host.chain().read_chain(chain);
            auto dsps = std::make_unique<playback_chain>(host, chain);
            dsp_chunk_list_impl list;
            while (callbacks.produce(list)) {
                if (host.chain().generation() != seen) {
                    seen = host.chain().generation();
                    host.chain().read_chain(chain);
                    dsps.reset();
                    dsps = std::make_unique<playback_chain>(host, chain);
                }
                dsps->run(list);
                callbacks.consume(list);
                list.clear();
            }
            dsps.reset();
        } catch (...) {
            failure = std::current_exception();
        }
        done = true;
    });
    while (!done) host.queue().pump_wait(std::chrono::milliseconds(5));
    worker.join();
    host.pump();
    if (failure) std::rethrow_exception(failure);
}

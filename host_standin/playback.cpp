#include "playback.h"

#include <windows.h>

#include <exception>
#include <memory>

#include "../Helpers/win32_handles.h"

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

namespace {

struct playback_work {
    component_host& host;
    const playback_callbacks& callbacks;
    bool done = false;
    std::exception_ptr failure;

    void run() {
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
    }
    static DWORD WINAPI thread(void* self) {
        static_cast<playback_work*>(self)->run();
        return 0;
    }
};

}  // namespace

void play(component_host& host, const playback_callbacks& callbacks) {
    playback_work work{host, callbacks, false, nullptr};
    unique_handle thread(CreateThread(nullptr, 0, &playback_work::thread, &work, 0, nullptr));
    if (!thread) throw std::runtime_error("cannot start the playback thread");
    // The main thread serves the main-thread queue until the playback
    // thread is gone, however it went: a plug-in may end it from inside. A
    // job that fails is raised only then, since `work` lives on this stack.
    std::exception_ptr pump_failure;
    const auto pump = [&](auto&& step) {
        try {
            step();
        } catch (...) {
            if (!pump_failure) pump_failure = std::current_exception();
        }
    };
    while (WaitForSingleObject(thread.get(), 0) == WAIT_TIMEOUT)
        pump([&] { host.queue().pump_wait(std::chrono::milliseconds(5)); });
    pump([&] { host.pump(); });
    if (!work.done) throw playback_thread_ended();
    if (work.failure) std::rethrow_exception(work.failure);
    if (pump_failure) std::rethrow_exception(pump_failure);
}

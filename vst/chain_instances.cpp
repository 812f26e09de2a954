// Keeps the plug-ins of the host's DSP chain loaded from the main thread, so
// that DSP instances on the playback thread find them ready and a plug-in
// that must live on the main thread is created there.
#include <vector>

#include "../Helpers/never_destroyed.h"
#include "../host/dsp_config.h"
#include "../host/initquit.h"
#include "../shell/component.h"
#include "../shell/factory_list.h"
#include "../shell/identifier_text.h"
#include "../shell/plugin_list.h"
#include "vst_ref.h"

namespace {

// Main thread only.
struct chain_holder {
    std::vector<vst_ref> held;
    std::uint32_t chain_size = 0;

    static std::vector<vst_ref> acquire_for(const dsp_chain_config& chain) {
        std::vector<vst_ref> out;
        for (std::size_t i = 0; i < chain.get_count(); ++i) {
            const dsp_preset& preset = chain.get_item(i);
            const GUID owner = preset.get_owner();
            if (!is_plugin_identifier(owner)) continue;
            if (const entry* e = find_entry(owner)) out.emplace_back(*e, preset);
        }
        return out;
    }
    // In chain order, as they were taken.
    void release_all() {
        for (vst_ref& v : held) v.reset();
        held.clear();
    }
};

chain_holder& holder() {
    static never_destroyed<chain_holder> h;
    return h.get();
}

class dsp_init : public initquit {
public:
    bool query(service_base*& out, const GUID& guid) override {
        return answer_query<dsp_init, initquit>(this, out, guid);
    }
    void on_init() override {
        dsp_chain_config_impl chain;
        host_service<dsp_config_manager>()->read_chain(chain);
        holder().held = chain_holder::acquire_for(chain);
        holder().chain_size = static_cast<std::uint32_t>(chain.get_count());
    }
    void on_quit() override { holder().release_all(); }
};

class instance_guard : public dsp_config_callback {
public:
    bool query(service_base*& out, const GUID& guid) override {
        return answer_query<instance_guard, dsp_config_callback>(this, out, guid);
    }
    void on_chain_changed(const dsp_chain_config& chain) override {
        // Same number of DSPs (an edited preset, a swapped effect): keep what
        // is held. Otherwise acquire first, so plug-ins that stay stay loaded.
        if (chain.get_count() == holder().chain_size) return;
        std::vector<vst_ref> fresh = chain_holder::acquire_for(chain);
        holder().release_all();
        holder().held = std::move(fresh);
        holder().chain_size = static_cast<std::uint32_t>(chain.get_count());
    }
};

registered_service<dsp_init> g_dsp_init;
registered_service<instance_guard> g_instance_guard;

}  // namespace

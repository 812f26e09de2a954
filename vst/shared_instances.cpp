#include "shared_instances.h"

#include <cstring>
#include <memory>

#include "../host/main_thread.h"
#include "../shell/component.h"
#include "../shell/popups.h"
#include "isolation.h"
#include "module_path.h"
#include "preset_state.h"
#include "vst.h"

namespace {

bool key_of(const void* data, std::size_t size, std::uint32_t& key) {
    if (size < 4) return false;
    std::memcpy(&key, data, 4);
    return true;
}

// Deletes a vst on the main thread.
class unload_vst : public main_thread_callback {
public:
    explicit unload_vst(vst* plugin) : plugin_(plugin) {}
    bool query(service_base*& out, const GUID& guid) override {
        return answer_query<unload_vst, main_thread_callback>(this, out, guid);
    }
    void run() override {
        if (!plugin_) return;
        critical_section_scope guard(instance_lock());
        delete plugin_;
        plugin_ = nullptr;
    }

private:
    vst* plugin_;
};

void show_diagnosis(const vst& plugin) {
    try {
        show_popup(plugin.diagnosis, k_title_error, popup_message::icon_error);
    } catch (const std::exception&) {
        // Without a message service the failure still shows as a silent DSP.
    }
}

// The live vst whose current preset carries the preset's instance key.
// Under the instance lock. A request without a key never shares.
vst* find_keyed(const dsp_preset& preset) {
    std::uint32_t wanted;
    if (!key_of(preset.get_data(), preset.get_data_size(), wanted)) return nullptr;
    for (vst* candidate : vst::live_set()) {
        std::uint32_t key;
        if (candidate->deletion_pending ||
            !key_of(candidate->current_preset.get_data(), candidate->current_preset.get_data_size(), key))
            continue;
        if (key == wanted) return candidate;
    }
    return nullptr;
}

bool starts_a_process(const entry& configured) {
    return runs_in_own_process(resolve_module_path(configured.module_path), configured, plugin_place::as_chosen);
}

// A plug-in in a process of its own is loaded and given its state outside
// the lock: no thread waits on the lock while a process starts. It carries
// no key until it is published, so nothing finds it half made; a thread
// that made one for the same key meanwhile wins, and ours is closed.
vst* acquire_in_own_process(const entry& configured, const dsp_preset& preset) {
    auto fresh = std::make_unique<vst>(configured, false, plugin_place::own_process);
    if (!fresh->loaded) show_diagnosis(*fresh);
    std::uint32_t key = 0;
    if (key_of(preset.get_data(), preset.get_data_size(), key)) fresh->key_being_restored = key;
    restore_preset_state(*fresh, preset);
    {
        critical_section_scope guard(instance_lock());
        if (vst* found = find_keyed(preset)) {
            ++found->ref_count;
            return found;  // ours is closed once the lock is left
        }
        fresh->current_preset.assign(preset);
        ++fresh->ref_count;
        return fresh.release();  // owned by its reference count from here on
    }
}

}  // namespace

vst* acquire_vst(const entry& configured, const dsp_preset& preset) {
    {
        critical_section_scope guard(instance_lock());
        if (vst* found = find_keyed(preset)) {
            ++found->ref_count;
            return found;
        }
        // Where it runs is settled here, once (the DLL's machine is looked
        // up by its file's attributes each time).
        if (!starts_a_process(configured)) {
            std::unique_ptr<vst> fresh = std::make_unique<vst>(configured, false, plugin_place::in_process);
            if (!fresh->loaded) show_diagnosis(*fresh);
            apply_preset(*fresh, preset);
            vst* made = fresh.release();  // owned by its reference count from here on
            ++made->ref_count;
            return made;
        }
    }
    return acquire_in_own_process(configured, preset);
}

void add_vst_reference(vst& plugin) {
    critical_section_scope guard(instance_lock());
    ++plugin.ref_count;
}

vst* release_vst(vst* plugin) {
    critical_section_scope guard(instance_lock());
    if (--plugin->ref_count != 0) return plugin;
    if (plugin->created_on_main_thread && services_available() && !core_api().is_main_thread()) {
        // Pending objects are never matched again; the job waits for the
        // instance lock, which this thread holds until it returns.
        plugin->deletion_pending = true;
        try {
            service_ptr_t<main_thread_callback> job = make_service<unload_vst>(plugin);
            host_service<main_thread_callback_manager>()->add_callback(job.get());
            return nullptr;
        } catch (const std::exception&) {
            // No queue to hand it to: delete it here rather than leak it.
        }
    }
    delete plugin;
    return nullptr;
}

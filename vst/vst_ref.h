#pragma once
// One counted reference to a shared plug-in instance, given back when it
// goes out of scope, so no exception between taking and returning it can
// leak the instance.
#include <utility>

#include "shared_instances.h"

class vst_ref {
public:
    vst_ref() = default;
    // Any thread: finds or creates the instance for the preset (acquire_vst).
    vst_ref(const entry& configured, const dsp_preset& preset) : plugin_(acquire_vst(configured, preset)) {}
    // Any thread: one more reference to an instance the caller already holds.
    static vst_ref share(vst& held) {
        add_vst_reference(held);
        return vst_ref(&held);
    }
    ~vst_ref() { reset(); }
    vst_ref(vst_ref&& other) noexcept : plugin_(std::exchange(other.plugin_, nullptr)) {}
    vst_ref& operator=(vst_ref&& other) noexcept {
        if (this != &other) {
            reset();
            plugin_ = std::exchange(other.plugin_, nullptr);
        }
        return *this;
    }
    vst_ref(const vst_ref&) = delete;
    vst_ref& operator=(const vst_ref&) = delete;

    // Gives the reference back (release_vst); the instance may be gone after.
    void reset() {
        if (plugin_) release_vst(std::exchange(plugin_, nullptr));
    }

    vst* get() const { return plugin_; }
    vst& operator*() const { return *plugin_; }
    vst* operator->() const { return plugin_; }
    explicit operator bool() const { return plugin_ != nullptr; }

private:
    explicit vst_ref(vst* adopted) : plugin_(adopted) {}
    vst* plugin_ = nullptr;
};

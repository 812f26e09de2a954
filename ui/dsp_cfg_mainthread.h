#pragma once
// A chain edit queued from a menu edit: on the host's main thread it puts
// the new preset in place of the first chain entry equal to the old one.
// When the host lets go of it, it signals the sync event, which lets the
// next chain edit be queued.
#include <windows.h>

#include "../Helpers/win32_handles.h"
#include "../host/dsp_preset.h"
#include "../host/main_thread.h"

class dsp_cfg_mainthread : public main_thread_callback {
public:
    // Takes over `event`, a handle of its own to the sync event.
    dsp_cfg_mainthread(const dsp_preset& new_preset, const dsp_preset& old_preset, unique_handle event);
    ~dsp_cfg_mainthread();
    dsp_cfg_mainthread(const dsp_cfg_mainthread&) = delete;
    dsp_cfg_mainthread& operator=(const dsp_cfg_mainthread&) = delete;

    bool query(service_base*& out, const GUID& guid) override {
        return answer_query<dsp_cfg_mainthread, main_thread_callback>(this, out, guid);
    }
    // Main thread.
    void run() override;

private:
    dsp_preset_impl new_preset_;
    dsp_preset_impl old_preset_;
    unique_handle event_;
};

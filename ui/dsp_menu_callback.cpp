#include "dsp_menu_callback.h"

#include "../host/main_thread.h"
#include "../shell/component.h"
#include "dsp_cfg_mainthread.h"
#include "menu_edit_list.h"

namespace {

constexpr DWORD k_sync_wait_ms = 5000;

// The job signals after this menu edit may have closed its own handle, so
// it gets one of its own.
unique_handle duplicate(HANDLE h) {
    HANDLE copy = nullptr;
    if (!h || !DuplicateHandle(GetCurrentProcess(), h, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return nullptr;
    return unique_handle(copy);
}

}  // namespace

dsp_menu_callback::dsp_menu_callback(const dsp_preset& preset)
    : preset_(preset), event_(CreateEventW(nullptr, FALSE, TRUE, L"DspMenuCallbackSync")) {}

void dsp_menu_callback::on_preset_changed(const dsp_preset& preset) {
    // After the time-out the edit goes ahead all the same.
    if (event_) {
        WaitForSingleObject(event_.get(), k_sync_wait_ms);
        ResetEvent(event_.get());
    }
    menu_edit_list::overwrite(preset_, preset);
    try {
        auto job = make_service<dsp_cfg_mainthread>(preset, preset_, duplicate(event_.get()));
        host_service<main_thread_callback_manager>()->add_callback(job.get());
    } catch (...) {
        // No job will signal: leave the event set, or every later chain
        // edit would wait out the time-out.
        if (event_) SetEvent(event_.get());
        throw;
    }
    preset_.assign(preset);
}

#include "dsp_menu_callback.h"

#include "../host/main_thread.h"
#include "../shell/component.h"
#include "dsp_cfg_mainthread.h"
#include "menu_edit_list.h"
#include "menu_edit_threads.h"

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
    // After the time-out the edit goes ahead all the same; once the
    // component stops, nothing is waited for.
    if (event_) {
        const HANDLE events[] = {event_.get(), menu_edit_threads::stopping_event()};
        WaitForMultipleObjects(events[1] ? 2 : 1, events, FALSE, k_sync_wait_ms);
        ResetEvent(event_.get());
    }
    // Listed before the job is queued, so the chain entry it writes is
    // marked from the moment it is there.
    menu_edit_list::overwrite(preset_, preset);
    bool queued = false;
    try {
        auto job = make_service<dsp_cfg_mainthread>(preset, preset_, duplicate(event_.get()));
        queued = menu_edit_threads::queue_chain_edit(*job);
    } catch (...) {
        // The chain keeps its entry, and the list keeps standing for it.
        // No job will signal: leave the event set, or every later chain
        // edit would wait out the time-out.
        menu_edit_list::overwrite(preset, preset_);
        if (event_) SetEvent(event_.get());
        throw;
    }
    if (!queued) {
        // The player is stopping: the chain keeps its entry. The job, never
        // queued, has set the event as it went.
        menu_edit_list::overwrite(preset, preset_);
        return;
    }
    preset_.assign(preset);
}

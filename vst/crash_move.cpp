#include "crash_move.h"

#include "../prefs/advanced_settings.h"
#include "../prefs/process_choice.h"
#include "vst.h"

// Called from the crash guard's thread, often the playback thread: the
// setting is an atomic flag and the choice takes only its own short lock,
// so nothing here waits for the main thread or for a plug-in. The stored
// configuration takes the change when the host next writes it.
bool move_after_crash(const vst& plugin) {
    if (!isolate_after_crash_setting().get_state()) return false;
    return own_process_choice().choose_after_crash(plugin.identifier);
}

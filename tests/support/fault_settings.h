#pragma once
// What the component does after a plug-in faults: restart one in a process
// of its own, move one that crashed in ours into its own. The unit tests of
// other behaviour see a fault end a plug-in as before (a restart would run
// their faulty plug-ins again, and a move would follow them into every
// later test of the same process); the tests of restarts and moves switch
// them on while one of these lives.
#include "../../prefs/advanced_settings.h"

class fault_settings {
public:
    fault_settings(bool restart, bool move_after_crash) {
        restart_plugins_setting().set_state(restart);
        isolate_after_crash_setting().set_state(move_after_crash);
    }
    ~fault_settings() {
        restart_plugins_setting().set_state(false);
        isolate_after_crash_setting().set_state(false);
    }
    fault_settings(const fault_settings&) = delete;
    fault_settings& operator=(const fault_settings&) = delete;
};

// orvane prefs: the player's preferences window on the component's own
// "VST plug-ins" page, so the list is managed exactly as in the player.
#include <cstdio>

#include "../Helpers/utf.h"
#include "../host_standin/preferences_window.h"
#include "cli_error.h"
#include "commands.h"

void cmd_prefs(session& s, const args& a) {
    if (!a.empty()) throw cli_error("prefs takes no arguments", 2);
    component_host& player = s.player();
    preferences_outcome outcome;
    try {
        outcome = run_preferences_window(player, nullptr, &k_vst_page);
    } catch (const host_exception& e) {
        throw cli_error(std::string("cannot show the \"VST plug-ins\" page: ") + e.what());
    }
    if (!outcome.applied) {
        std::printf("No changes were applied.\n");
        return;
    }
    // Where each plug-in runs is kept with the component's configuration.
    s.keep_configuration();
    s.list_changed();
    std::printf("The plug-in list was saved to %s.\n", wide_to_utf8(s.prof().list_file()).c_str());
    if (outcome.needs_restart) std::printf("The player must restart for the changes to take effect.\n");
}

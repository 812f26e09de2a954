// orvane gui: the player's main window with its menu bar, the component's
// "DSP" submenu among it, and the playback chain in view.
#include <cstdio>

#include "../host_standin/preferences_window.h"
#include "cli_error.h"
#include "commands.h"

void cmd_gui(session& s, const args& a) {
    if (!a.empty()) throw cli_error("gui takes no arguments", 2);
    component_host& player = s.player();
    require_display(player);
    // "File" > "Preferences...": the page writes the list itself; the list
    // this run plays with stays the one read at start, as in the player.
    bool restart = false;
    player.window().set_preferences_handler([&](HWND owner) {
        try {
            preferences_outcome outcome = run_preferences_window(player, owner, &k_vst_page);
            restart = restart || (outcome.applied && outcome.needs_restart);
            // Where each plug-in runs is kept with the component's configuration.
            if (outcome.applied) s.prof().state.configuration = player.save_configuration();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "orvane: the preferences window cannot be shown: %s\n", e.what());
        }
    });
    player.window().run();
    keep_player_chain(s);
    if (!s.options().quiet) std::printf("The playback chain is saved.\n");
    if (restart) std::printf("The player must restart for the plug-in list changes to take effect.\n");
}

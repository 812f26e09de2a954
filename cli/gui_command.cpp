// orvane gui: the player's main window with its menu bar, the component's
// "DSP" submenu among it, and the playback chain in view.
#include <cstdio>

#include "cli_error.h"
#include "commands.h"

void cmd_gui(session& s, const args& a) {
    if (!a.empty()) throw cli_error("gui takes no arguments", 2);
    component_host& player = s.player();
    require_display(player);
    player.window().run();
    keep_player_chain(s);
    if (!s.options().quiet) std::printf("The playback chain is saved.\n");
}

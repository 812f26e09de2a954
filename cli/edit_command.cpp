// orvane edit POS: a chain position's plug-in editor, opened the way the
// player's DSP settings open it; what the user leaves there is saved.
#include <cstdio>

#include "../Helpers/one_line.h"
#include "../host_standin/dsp_settings.h"
#include "cli_error.h"
#include "commands.h"

void require_display(component_host& player) {
    if (!player.api().main_window()) throw cli_error("no display to show windows on (is DISPLAY set?)");
}

// The player's chain, as the user left it, becomes the profile's.
void keep_player_chain(session& s) {
    s.player().chain().read_chain(s.prof().state.chain);
    s.prof().save();
}

void cmd_edit(session& s, const args& a) {
    if (a.size() != 1) throw cli_error("edit needs one chain position", 2);
    const unsigned position = parse_position(a[0], s.prof().state.chain.get_count(), "chain position");
    component_host& player = s.player();
    require_display(player);
    // The component's own words become this command's error, once.
    player.popups().set_echo(false);
    player.popups().clear();
    const dsp_preset_impl before(s.prof().state.chain.get_item(position - 1));
    const bool reported = edit_dsp_settings(player, position - 1, player.api().main_window());
    // What the component queued for the main thread while the editor ran
    // (a crash is told that way) is shown now.
    player.pump();
    const auto shown = player.popups().messages();
    if (!reported)
        throw cli_error(shown.empty() ? "chain position " + a[0] + " has no settings to edit"
                                      : one_line(shown.back().text));
    // A plug-in switched off while its editor was open had no settings to
    // give: the editor handed back those it was opened with, and the
    // component said why. Nothing was saved, and the user learns so.
    dsp_chain_config_impl after;
    player.chain().read_chain(after);
    const bool unchanged = position - 1 < after.get_count() && after.get_item(position - 1).equals(before);
    for (auto m = shown.rbegin(); unchanged && m != shown.rend(); ++m)
        if (m->icon == popup_message::icon_error) throw cli_error(one_line(m->text));
    keep_player_chain(s);
    if (!s.options().quiet) std::printf("Chain position %u is saved as the editor left it.\n", position);
}

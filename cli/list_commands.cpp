// The component's plug-in list: show, add (checked the way the preferences
// page checks), remove, all through the component's scripting interface.
// Changes take effect the next time the player starts.
#include <cstdio>

#include "cli_error.h"
#include "commands.h"
#include "stuck_report.h"
#include "watchdog.h"

void cmd_plugins(session& s, const args& a) {
    if (!a.empty()) throw cli_error("plugins takes no arguments", 2);
    const std::vector<listed_plugin> list = s.scripting().list();
    if (list.empty()) {
        std::printf("No plug-ins listed. Add one with: orvane add PLUGIN.dll\n");
        return;
    }
    std::printf("  #  %-24s %-18s %-6s %s\n", "Product", "Vendor", "I/O", "Module");
    for (std::size_t i = 0; i < list.size(); ++i) {
        const listed_plugin& e = list[i];
        std::printf("%3zu  %-24s %-18s %-6s %s%s\n", i + 1, e.product_name.c_str(), e.vendor_name.c_str(),
                    e.channel_summary.c_str(), e.module_path.c_str(), i >= 20 ? "  (not offered: only 20 are)" : "");
    }
}

void cmd_add(session& s, const args& a) {
    if (a.size() != 1) throw cli_error("usage: orvane add PLUGIN.dll", 2);
    const std::string path = full_path(a[0]);
    component_scripting& script = s.scripting();
    std::size_t position = 0;
    listed_plugin added;
    {
        // A plug-in that never finishes loading holds this thread for good.
        watchdog loading(s.options().load_seconds, [&](unsigned seconds) {
            const std::vector<instance_activity> instances = script.activity();
            const instance_activity* stuck = longest_call(instances);
            return "the plug-in " + path + " did not finish loading in " + seconds_text(seconds) +
                   (stuck ? ": it has not returned from " + stuck->call : "") + "; the plug-in list is unchanged";
        });
        added = script.add(path, position);
    }
    s.list_changed();
    std::printf("Added %s by %s, %s, as effect %zu\n", added.product_name.c_str(), added.vendor_name.c_str(),
                added.channel_summary.c_str(), position + 1);
}

void cmd_remove(session& s, const args& a) {
    if (a.size() != 1) throw cli_error("usage: orvane remove NUMBER|PRODUCT", 2);
    const std::vector<listed_plugin> list = s.scripting().list();
    std::size_t index = list.size();
    for (std::size_t i = 0; i < list.size(); ++i)
        if (lower(list[i].product_name) == lower(a[0])) index = i;
    if (index == list.size()) index = parse_position(a[0], list.size(), "plug-in") - 1;
    const listed_plugin& chosen = list[index];
    // A chain position whose plug-in left the list would pass audio through
    // untouched: the chain has to let go of it first.
    const dsp_chain_config& chain = s.prof().state.chain;
    std::string positions;
    std::size_t users = 0;
    for (std::size_t i = 0; i < chain.get_count(); ++i)
        if (chain.get_item(i).get_owner() == chosen.identifier) {
            positions += (positions.empty() ? "" : ", ") + std::to_string(i + 1);
            ++users;
        }
    if (users > 0)
        throw cli_error(chosen.product_name + " is used by chain position" + (users == 1 ? " " : "s ") + positions +
                        "; take " + (users == 1 ? "it" : "them") + " out of the chain first (orvane chain remove POS)");
    s.scripting().remove(index, chosen.identifier);
    s.list_changed();
    std::printf("Removed %s (%s)\n", chosen.product_name.c_str(), chosen.module_path.c_str());
}

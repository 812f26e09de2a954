// The component's plug-in list: show, add (checked the way the preferences
// page checks), remove, and where each plug-in runs, all through the
// component's scripting interface. List changes take effect the next time
// the player starts; where a plug-in runs, the next time it is loaded.
#include <algorithm>
#include <cstdio>

#include "../host/audio_chunk.h"
#include "../host/process_text.h"
#include "cli_error.h"
#include "commands.h"
#include "stuck_report.h"
#include "watchdog.h"

namespace {

// The "Process" column, in the words of the preferences page. The tool is
// of the component's architecture (it loads its DLL), so the other one is
// the plug-in's.
const char* const k_other_architecture = sizeof(void*) == 8 ? "x86" : "x64";
const char k_every_plugin_setting[] = "\"Run every plug-in in its own process\"";

// Why a plug-in runs in a process of its own, when the user did not choose it.
std::string own_process_reason(const listed_plugin& e) {
    if (e.other_architecture) return std::string(" (an ") + k_other_architecture + " DLL always does)";
    if (!e.own_process_chosen) return std::string(" (") + k_every_plugin_setting + " is on)";
    return "";
}

// The plug-in a command names by its product name or its list number.
std::size_t find_listed(const std::vector<listed_plugin>& list, const std::string& wanted) {
    std::size_t index = list.size();
    for (std::size_t i = 0; i < list.size(); ++i)
        if (lower(list[i].product_name) == lower(wanted)) index = i;
    if (index == list.size()) index = parse_position(wanted, list.size(), "plug-in") - 1;
    return index;
}

// How the plug-in runs on a stereo stream with "Match plug-in channels to
// the stream" on: "2/2 matched" (it took the stream's layout), "1/1 x2"
// (once per channel), its own ports when they already fit, "as is" when it
// refused, "-" when it does not load now. Each plug-in is loaded to find out.
std::string stereo_text(session& s, std::size_t index, const listed_plugin& e) {
    component_scripting& script = s.scripting();
    plugin_fit fit;
    {
        watchdog loading(s.options().load_seconds, [&](unsigned seconds) {
            const std::vector<instance_activity> instances = script.activity();
            const instance_activity* stuck = longest_call(instances);
            return e.product_name + " did not finish loading in " + seconds_text(seconds) +
                   (stuck ? ": it has not returned from " + stuck->call : "");
        });
        try {
            fit = script.stream_fit(index, e.identifier, 2, audio_chunk::default_channel_mask(2));
        } catch (const cli_error&) {
            return "-";
        }
    }
    const std::string ports = std::to_string(fit.inputs) + "/" + std::to_string(fit.outputs);
    if (fit.instances > 1) return ports + " x" + std::to_string(fit.instances);
    if (!fit.keeps_layout) return "as is";
    return ports == e.channel_summary ? ports : ports + " matched";
}

}  // namespace

std::string process_text(const listed_plugin& e) {
    return process_text({e.other_architecture, e.own_process_chosen, e.own_process, e.moved_after_crash});
}

void cmd_plugins(session& s, const args& a) {
    if (!a.empty()) throw cli_error("plugins takes no arguments", 2);
    const std::vector<listed_plugin> list = s.scripting().list();
    if (list.empty()) {
        std::printf("No plug-ins listed. Add one with: orvane add PLUGIN.dll\n");
        return;
    }
    // With plug-ins matched to the stream: how each runs on stereo.
    const bool matching = checkbox_setting_on(s.component(), k_match_channels_setting);
    // Wider only when a row needs it ("own (after a crash)").
    std::size_t process_width = 10;
    for (const listed_plugin& e : list) process_width = std::max(process_width, process_text(e).size() + 1);
    const int pw = static_cast<int>(process_width);
    std::printf("  #  %-24s %-18s %-6s %s%-*s %s\n", "Product", "Vendor", "I/O", matching ? "Stereo       " : "", pw,
                "Process", "Module");
    for (std::size_t i = 0; i < list.size(); ++i) {
        const listed_plugin& e = list[i];
        const std::string stereo = matching ? stereo_text(s, i, e) : "";
        std::printf("%3zu  %-24s %-18s %-6s %s%s%-*s %s%s\n", i + 1, e.product_name.c_str(), e.vendor_name.c_str(),
                    e.channel_summary.c_str(), stereo.c_str(),
                    matching ? std::string(stereo.size() < 13 ? 13 - stereo.size() : 1, ' ').c_str() : "", pw,
                    process_text(e).c_str(), e.module_path.c_str(), i >= 20 ? "  (not offered: only 20 are)" : "");
    }
}

void cmd_add(session& s, const args& a) {
    if (a.size() != 1) throw cli_error("usage: orvane add [--isolate] PLUGIN.dll", 2);
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
        added = script.add(path, s.options().isolate, position);
    }
    if (s.options().isolate) s.keep_configuration();
    s.list_changed();
    std::printf("Added %s by %s, %s, as effect %zu\n", added.product_name.c_str(), added.vendor_name.c_str(),
                added.channel_summary.c_str(), position + 1);
    if (added.own_process) std::printf("It runs in a process of its own%s.\n", own_process_reason(added).c_str());
}

void cmd_remove(session& s, const args& a) {
    if (a.size() != 1) throw cli_error("usage: orvane remove NUMBER|PRODUCT", 2);
    const std::vector<listed_plugin> list = s.scripting().list();
    const std::size_t index = find_listed(list, a[0]);
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
    s.keep_configuration();  // its choice of a process went with it
    s.list_changed();
    std::printf("Removed %s (%s)\n", chosen.product_name.c_str(), chosen.module_path.c_str());
}

void cmd_isolate(session& s, const args& a) {
    if (a.size() != 2 || (a[1] != "on" && a[1] != "off"))
        throw cli_error("usage: orvane isolate NUMBER|PRODUCT on|off", 2);
    const std::vector<listed_plugin> list = s.scripting().list();
    const std::size_t index = find_listed(list, a[0]);
    const bool own = a[1] == "on";
    const listed_plugin now = s.scripting().set_own_process(index, list[index].identifier, own);
    s.keep_configuration();
    if (now.other_architecture) {
        std::printf("%s runs in a process of its own%s.\n", now.product_name.c_str(), own_process_reason(now).c_str());
    } else if (own) {
        std::printf("%s runs in a process of its own from its next load.\n", now.product_name.c_str());
    } else if (now.own_process) {
        std::printf("%s runs in the player's process from its next load, once %s is off (orvane set isolate-all "
                    "off).\n",
                    now.product_name.c_str(), k_every_plugin_setting);
    } else {
        std::printf("%s runs in the player's process from its next load.\n", now.product_name.c_str());
    }
}

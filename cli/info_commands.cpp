// What the component says about itself, and its settings.
#include <cstdio>

#include "../host/advconfig.h"
#include "../host/component_info.h"
#include "../host/dsp.h"
#include "cli_error.h"
#include "commands.h"

namespace {

struct setting_alias {
    const char* alias;
    const char* name;
};
const setting_alias k_aliases[] = {{"output-limit", "Output number limit"}, {"declicker", "Declicker size"}};
const setting_alias k_checkbox_aliases[] = {{"isolate-all", "Run every plug-in in its own process"},
                                             {"match-channels", k_match_channels_setting},
                                             {"report-delay", "Report plug-in delay to the player"},
                                             {"restart", "Restart plug-ins that stop in their own process"},
                                             {"isolate-after-crash", "Move a plug-in that crashed into its own process"}};

// The setting of that name or alias, if it is of kind T (a number, a checkbox).
template <class T>
service_ptr_t<T> find_setting(component_host& host, const std::string& wanted) {
    std::string key = lower(wanted);
    for (const auto& a : k_aliases)
        if (key == a.alias) key = lower(a.name);
    for (const auto& a : k_checkbox_aliases)
        if (key == a.alias) key = lower(a.name);
    for (auto& s : host.services<advconfig_entry>()) {
        service_ptr_t<T> value;
        string8 name;
        s->get_name(name);
        if (lower(name.str()) == key && s.query_as(value)) return value;
    }
    return {};
}

void set_checkbox(session& s, advconfig_entry_checkbox& setting, const std::string& value) {
    if (value != "on" && value != "off") throw cli_error("the value must be on or off, not \"" + value + "\"");
    setting.set_state(value == "on");
    string8 name;
    setting.get_name(name);
    s.prof().state.configuration = s.player().save_configuration();
    s.commit_state();
    std::printf("%s: %s\n", name.get_ptr(), setting.get_state() ? "on" : "off");
}

}  // namespace

bool checkbox_setting_on(component_host& host, const char* name) {
    auto setting = find_setting<advconfig_entry_checkbox>(host, name);
    return setting && setting->get_state();
}

void cmd_info(session& s, const args& a) {
    if (!a.empty()) throw cli_error("info takes no arguments", 2);
    component_host& host = s.player();
    string8 name, version, file;
    auto info = host.service<componentversion>();
    info->get_component_name(name);
    info->get_component_version(version);
    info->get_file_name(file);
    std::printf("%s %s (%s)\n", name.get_ptr(), version.get_ptr(), file.get_ptr());
    std::printf("Profile: %s\n", s.prof().folder_utf8().c_str());

    auto effects = host.services<dsp_entry>();
    std::printf("DSP effects: %zu\n", effects.size());
    // The host lists services newest first; show them in plug-in list order.
    for (auto it = effects.rbegin(); it != effects.rend(); ++it) {
        string8 n;
        (*it)->get_name(n);
        std::printf("  %-28s {%s}\n", n.get_ptr(), guid_text((*it)->get_guid()).c_str());
    }
    std::printf("Settings:\n");
    for (const auto& alias : k_aliases) {
        auto setting = find_setting<advconfig_entry_string>(host, alias.name);
        string8 value;
        if (setting) setting->get_state(value);
        std::printf("  %-22s %s   (orvane set %s N)\n", alias.name, value.get_ptr(), alias.alias);
    }
    for (const auto& alias : k_checkbox_aliases) {
        auto setting = find_setting<advconfig_entry_checkbox>(host, alias.name);
        std::printf("  %s: %s   (orvane set %s on|off)\n", alias.name,
                    setting ? (setting->get_state() ? "on" : "off") : "", alias.alias);
    }
}

void cmd_set(session& s, const args& a) {
    if (a.size() != 2)
        throw cli_error("usage: orvane set output-limit|declicker|isolate-all|match-channels|report-delay|restart|"
                        "isolate-after-crash VALUE",
                        2);
    component_host& host = s.player();
    if (auto checkbox = find_setting<advconfig_entry_checkbox>(host, a[0])) return set_checkbox(s, *checkbox, a[1]);
    auto setting = find_setting<advconfig_entry_string>(host, a[0]);
    if (!setting)
        throw cli_error("no setting named \"" + a[0] +
                        "\" (try output-limit, declicker, isolate-all, match-channels, report-delay, restart or "
                        "isolate-after-crash)");
    if (a[1].empty() || a[1].find_first_not_of("0123456789") != std::string::npos)
        throw cli_error("the value must be a whole number, not \"" + a[1] + "\"");
    setting->set_state(a[1].c_str(), a[1].size());
    string8 name, value;
    setting->get_name(name);
    setting->get_state(value);
    s.prof().state.configuration = host.save_configuration();
    s.commit_state();
    std::size_t first = a[1].find_first_not_of('0');
    std::string asked = first == std::string::npos ? "0" : a[1].substr(first);
    std::printf("%s: %s%s\n", name.get_ptr(), value.get_ptr(),
                value.str() == asked ? "" : " (kept within the allowed range)");
}

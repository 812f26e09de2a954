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

service_ptr_t<advconfig_entry_string> find_setting(component_host& host, const std::string& wanted) {
    std::string key = lower(wanted);
    for (const auto& a : k_aliases)
        if (key == a.alias) key = lower(a.name);
    for (auto& s : host.services<advconfig_entry>()) {
        service_ptr_t<advconfig_entry_string> value;
        string8 name;
        s->get_name(name);
        if (lower(name.str()) == key && s.query_as(value)) return value;
    }
    return {};
}

}  // namespace

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
        auto setting = find_setting(host, alias.name);
        string8 value;
        if (setting) setting->get_state(value);
        std::printf("  %-22s %s   (orvane set %s N)\n", alias.name, value.get_ptr(), alias.alias);
    }
}

void cmd_set(session& s, const args& a) {
    if (a.size() != 2) throw cli_error("usage: orvane set output-limit|declicker VALUE", 2);
    component_host& host = s.player();
    auto setting = find_setting(host, a[0]);
    if (!setting) throw cli_error("no setting named \"" + a[0] + "\" (try output-limit or declicker)");
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

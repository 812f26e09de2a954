#include "advanced_settings.h"

#include "../shell/factory_list.h"

namespace {

constexpr GUID k_branch_guid = {0xED53CCA9, 0x658F, 0x421F, {0x83, 0x93, 0xD3, 0x62, 0xCE, 0xB5, 0x52, 0x0B}};
constexpr GUID k_host_branch_guid = {0x34949F34, 0xE655, 0x4F09, {0xBA, 0x50, 0xFA, 0xEB, 0x4D, 0x9B, 0x77, 0x69}};
constexpr GUID k_output_limit_guid = {0x0B845278, 0x89EA, 0x46FC, {0xBE, 0x6F, 0x6D, 0x11, 0x1F, 0xFE, 0x94, 0x8C}};
constexpr GUID k_declicker_guid = {0xF0048EF8, 0x9EF0, 0x4D7E, {0xA2, 0x4C, 0x55, 0x63, 0xE0, 0xFF, 0xA0, 0x9E}};
constexpr GUID k_every_plugin_guid = {0x85CE8811, 0xC1F5, 0x4461, {0x96, 0x70, 0xF7, 0x7D, 0x86, 0xAE, 0x2B, 0x6D}};
constexpr GUID k_match_channels_guid = {0xF3ADE0D4, 0x5BF5, 0x4CB0, {0x9C, 0x2A, 0x71, 0x4F, 0x38, 0x0E, 0xCE, 0x8F}};
constexpr GUID k_restart_guid = {0xF1EDE3B9, 0x835A, 0x417E, {0x87, 0xFB, 0xBD, 0x87, 0xCB, 0x5D, 0xAA, 0x15}};
constexpr GUID k_isolate_after_crash_guid = {0x7F1CE303, 0x1C5B, 0x48E0, {0x8A, 0xD9, 0x1E, 0xC1, 0xF3, 0x27, 0xBB, 0xFB}};
constexpr GUID k_report_delay_guid = {0x99FB442E, 0xB065, 0x4298, {0x9B, 0x5D, 0x30, 0x88, 0xF5, 0xD2, 0xC0, 0x01}};

registered_service<advconfig_branch_impl> g_branch("VST", k_branch_guid, k_host_branch_guid, 0.0);
registered_service<advconfig_entry_integer_impl> g_output_limit("Output number limit", k_output_limit_guid,
                                                                k_branch_guid, 0.0, 6, 1, 32);
registered_service<advconfig_entry_integer_impl> g_declicker_size("Declicker size", k_declicker_guid, k_branch_guid,
                                                                  0.0, 4, 0, 1000);
registered_service<advconfig_entry_checkbox_impl> g_every_plugin("Run every plug-in in its own process",
                                                                 k_every_plugin_guid, k_branch_guid, 0.0, false);
registered_service<advconfig_entry_checkbox_impl> g_match_channels("Match plug-in channels to the stream",
                                                                   k_match_channels_guid, k_branch_guid, 0.0, false);
registered_service<advconfig_entry_checkbox_impl> g_report_delay("Report plug-in delay to the player",
                                                                 k_report_delay_guid, k_branch_guid, 0.0, false);
registered_service<advconfig_entry_checkbox_impl> g_restart("Restart plug-ins that stop in their own process",
                                                            k_restart_guid, k_branch_guid, 0.0, true);
registered_service<advconfig_entry_checkbox_impl> g_isolate_after_crash("Move a plug-in that crashed into its own process",
                                                                        k_isolate_after_crash_guid, k_branch_guid, 0.0,
                                                                        true);

}  // namespace

advconfig_entry_integer_impl& output_number_limit_setting() { return g_output_limit.get(); }
advconfig_entry_integer_impl& declicker_size_setting() { return g_declicker_size.get(); }
advconfig_entry_checkbox_impl& every_plugin_in_own_process_setting() { return g_every_plugin.get(); }
advconfig_entry_checkbox_impl& match_channels_setting() { return g_match_channels.get(); }
advconfig_entry_checkbox_impl& report_delay_setting() { return g_report_delay.get(); }
advconfig_entry_checkbox_impl& restart_plugins_setting() { return g_restart.get(); }
advconfig_entry_checkbox_impl& isolate_after_crash_setting() { return g_isolate_after_crash.get(); }

std::uint64_t parse_setting_text(const char* text, std::size_t length) {
    std::size_t n = 0;
    if (text)
        while (n < length && text[n] != '\0') ++n;
    // Read from the last character back, so that any non-digit restarts the
    // number: what survives is the run of digits at the very start.
    std::uint64_t result = 0, place = 1;
    for (std::size_t i = n; i-- > 0;) {
        char c = text[i];
        if (c >= '0' && c <= '9') {
            result += static_cast<std::uint64_t>(c - '0') * place;
            place *= 10;
        } else {
            result = 0;
            place = 1;
        }
    }
    return result;
}

std::string decimal_text(std::uint64_t value) { return std::to_string(value); }

advconfig_entry_integer_impl::advconfig_entry_integer_impl(const char* name, const GUID& guid, const GUID& parent,
                                                           double priority, std::uint64_t initial,
                                                           std::uint64_t min, std::uint64_t max,
                                                           unsigned preferences_flags)
    : state_(guid, initial),
      sort_priority_(priority),
      default_(initial),
      min_(min),
      max_(max),
      parent_(parent),
      name_(name),
      preferences_flags_(preferences_flags) {}

bool advconfig_entry_integer_impl::query(service_base*& out, const GUID& guid) {
    return answer_query<advconfig_entry_integer_impl, advconfig_entry_string_v2, advconfig_entry_string,
                        advconfig_entry>(this, out, guid);
}

void advconfig_entry_integer_impl::get_state(string_base& out) { out.set_string(decimal_text(get_value()).c_str()); }

void advconfig_entry_integer_impl::set_state(const char* text, std::size_t length) {
    set_value(clip(parse_setting_text(text, length)));
}

void advconfig_entry_integer_impl::get_default_state(string_base& out) {
    out.set_string(decimal_text(default_).c_str());
}

void advconfig_entry_integer_impl::validate(string_base& text) {
    std::string fixed = decimal_text(clip(parse_setting_text(text.get_ptr(), string_base::npos)));
    text.set_string(fixed.c_str());
}

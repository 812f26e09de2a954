#pragma once
// The "VST" branch of the host's advanced settings: its two integer
// settings and its checkboxes.
#include <cstdint>
#include <string>

#include "../host/advconfig.h"
#include "../host/cfg_var.h"

class advconfig_branch_impl : public advconfig_branch {
public:
    using service_class = advconfig_entry;
    advconfig_branch_impl(const char* name, const GUID& guid, const GUID& parent, double priority)
        : name_(name), guid_(guid), parent_(parent), priority_(priority) {}

    bool query(service_base*& out, const GUID& guid) override {
        return answer_query<advconfig_branch_impl, advconfig_branch, advconfig_entry>(this, out, guid);
    }
    void get_name(string_base& out) override { out.set_string(name_); }
    GUID get_guid() override { return guid_; }
    GUID get_parent() override { return parent_; }
    void reset() override {}
    double get_sort_priority() override { return priority_; }

private:
    const char* name_;
    GUID guid_;
    GUID parent_;
    double priority_;
};

class advconfig_entry_integer_impl : public advconfig_entry_string_v2 {
public:
    using service_class = advconfig_entry;
    advconfig_entry_integer_impl(const char* name, const GUID& guid, const GUID& parent, double priority,
                                 std::uint64_t initial, std::uint64_t min, std::uint64_t max,
                                 unsigned preferences_flags = 0);

    bool query(service_base*& out, const GUID& guid) override;
    void get_name(string_base& out) override { out.set_string(name_.c_str()); }
    GUID get_guid() override { return state_.cfg_var_reader::guid; }
    GUID get_parent() override { return parent_; }
    void reset() override { state_.set(default_); }
    double get_sort_priority() override { return sort_priority_; }
    void get_state(string_base& out) override;
    void set_state(const char* text, std::size_t length) override;
    unsigned get_flags() override { return flag_is_integer; }
    void get_default_state(string_base& out) override;
    void validate(string_base& text) override;
    unsigned get_preferences_flags() override { return preferences_flags_; }

    std::uint64_t get_value() const { return state_.get(); }
    void set_value(std::uint64_t v) { state_.set(v); }
    std::uint64_t clip(std::uint64_t v) const { return v < min_ ? min_ : v > max_ ? max_ : v; }

private:
    cfg_int_t<std::uint64_t> state_;
    double sort_priority_;
    std::uint64_t default_;
    std::uint64_t min_;
    std::uint64_t max_;
    GUID parent_;
    std::string name_;
    unsigned preferences_flags_;
};

class advconfig_entry_checkbox_impl : public advconfig_entry_checkbox_v2 {
public:
    using service_class = advconfig_entry;
    advconfig_entry_checkbox_impl(const char* name, const GUID& guid, const GUID& parent, double priority,
                                  bool initial, unsigned preferences_flags = 0)
        : state_(guid, initial),
          sort_priority_(priority),
          default_(initial),
          parent_(parent),
          name_(name),
          preferences_flags_(preferences_flags) {}

    bool query(service_base*& out, const GUID& guid) override {
        return answer_query<advconfig_entry_checkbox_impl, advconfig_entry_checkbox_v2, advconfig_entry_checkbox,
                            advconfig_entry>(this, out, guid);
    }
    void get_name(string_base& out) override { out.set_string(name_.c_str()); }
    GUID get_guid() override { return state_.cfg_var_reader::guid; }
    GUID get_parent() override { return parent_; }
    void reset() override { state_.set(default_); }
    double get_sort_priority() override { return sort_priority_; }
    // Any thread.
    bool get_state() override { return state_.get(); }
    void set_state(bool state) override { state_.set(state); }
    bool get_default_state() override { return default_; }
    unsigned get_preferences_flags() override { return preferences_flags_; }

private:
    cfg_bool state_;
    double sort_priority_;
    bool default_;
    GUID parent_;
    std::string name_;
    unsigned preferences_flags_;
};

// The number written by the digits at the start of the text (up to the first
// other character, at most `length` characters or up to a NUL); 0 when it
// starts with anything else. Unsigned 64-bit, wrapping.
std::uint64_t parse_setting_text(const char* text, std::size_t length);
std::string decimal_text(std::uint64_t value);

advconfig_entry_integer_impl& output_number_limit_setting();
advconfig_entry_integer_impl& declicker_size_setting();
// "Run every plug-in in its own process": over the choice of each plug-in.
advconfig_entry_checkbox_impl& every_plugin_in_own_process_setting();
// "Match plug-in channels to the stream": a plug-in is offered the stream's
// layout, and a mono one runs once per channel (vst/stream_match.h).
advconfig_entry_checkbox_impl& match_channels_setting();
// "Report plug-in delay to the player": a DSP instance's latency is its
// plug-in's reported initial delay instead of none.
advconfig_entry_checkbox_impl& report_delay_setting();
// "Restart plug-ins that stop in their own process": a plug-in whose own
// process crashed, ended or hung is started again with its settings
// (vst/plugin_restart.h) instead of being switched off.
advconfig_entry_checkbox_impl& restart_plugins_setting();
// "Move a plug-in that crashed into its own process": one that faulted in
// the player's process runs in a process of its own from its next load.
advconfig_entry_checkbox_impl& isolate_after_crash_setting();

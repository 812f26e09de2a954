#pragma once
// The advanced settings and the choice of each plug-in's process live in
// the component's statics, once per process: a test that changes them puts
// them back, so that the next test in the same process starts from the
// values it expects.
#include <string>
#include <vector>

#include "../../host/string_base.h"
#include "../../prefs/advanced_settings.h"
#include "../../prefs/process_choice.h"

class settings_restorer {
public:
    settings_restorer()
        : limit_(state_of(output_number_limit_setting())),
          declick_(state_of(declicker_size_setting())),
          every_plugin_(every_plugin_in_own_process_setting().get_state()),
          match_channels_(match_channels_setting().get_state()),
          report_delay_(report_delay_setting().get_state()),
          restart_(restart_plugins_setting().get_state()),
          isolate_after_crash_(isolate_after_crash_setting().get_state()),
          chosen_(own_process_choice().chosen()),
          moved_(own_process_choice().moved()) {}
    ~settings_restorer() {
        output_number_limit_setting().set_state(limit_.c_str(), limit_.size());
        declicker_size_setting().set_state(declick_.c_str(), declick_.size());
        every_plugin_in_own_process_setting().set_state(every_plugin_);
        match_channels_setting().set_state(match_channels_);
        report_delay_setting().set_state(report_delay_);
        restart_plugins_setting().set_state(restart_);
        isolate_after_crash_setting().set_state(isolate_after_crash_);
        own_process_choice().assign(chosen_, moved_);
    }
    settings_restorer(const settings_restorer&) = delete;
    settings_restorer& operator=(const settings_restorer&) = delete;

private:
    static std::string state_of(advconfig_entry_integer_impl& s) {
        string8 out;
        s.get_state(out);
        return out.str();
    }
    std::string limit_;
    std::string declick_;
    bool every_plugin_;
    bool match_channels_;
    bool report_delay_;
    bool restart_;
    bool isolate_after_crash_;
    std::vector<GUID> chosen_;
    std::vector<GUID> moved_;
};

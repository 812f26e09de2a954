#pragma once
// The two advanced settings live in the component's statics, one pair per
// process: a test that changes them puts them back, so that the next test in
// the same process starts from the values it expects.
#include <string>

#include "../../host/string_base.h"
#include "../../prefs/advanced_settings.h"

class settings_restorer {
public:
    settings_restorer() : limit_(state_of(output_number_limit_setting())), declick_(state_of(declicker_size_setting())) {}
    ~settings_restorer() {
        output_number_limit_setting().set_state(limit_.c_str(), limit_.size());
        declicker_size_setting().set_state(declick_.c_str(), declick_.size());
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
};

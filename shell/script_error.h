#pragma once
// A scripting operation that fails inside the component: the status and the
// one-line text the scripting interface hands back. Caught at the
// interface; never leaves the component.
#include <stdexcept>
#include <string>

#include "../host/vst_scripting.h"

class script_error : public std::runtime_error {
public:
    script_error(vst_script_status status, const std::string& text) : std::runtime_error(text), status_(status) {}
    vst_script_status status() const { return status_; }

private:
    vst_script_status status_;
};

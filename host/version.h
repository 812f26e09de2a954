#pragma once
// The host's own version text.
#include "service.h"

class core_version_info : public service_base {
public:
    using service_class = core_version_info;
    static constexpr GUID class_guid = {0x0C36A649, 0x9EA0, 0x4F48, {0xB2, 0x29, 0x0C, 0xB2, 0xAA, 0x9A, 0xB6, 0xF4}};
    virtual const char* version_string() = 0;
};

#pragma once
// What a component tells the host about itself.
#include "service.h"
#include "string_base.h"

class componentversion : public service_base {
public:
    using service_class = componentversion;
    static constexpr GUID class_guid = {0x10BB3EBD, 0xDDF7, 0x4975, {0xA3, 0xCC, 0x23, 0x08, 0x48, 0x29, 0x45, 0x3E}};
    virtual void get_file_name(string_base& out) = 0;
    virtual void get_component_name(string_base& out) = 0;
    virtual void get_component_version(string_base& out) = 0;
    virtual void get_about_message(string_base& out) = 0;
};

class component_installation_validator : public service_base {
public:
    using service_class = component_installation_validator;
    static constexpr GUID class_guid = {0x0639283E, 0x3004, 0x4E5C, {0xB1, 0xB3, 0x6D, 0xFF, 0x08, 0xA7, 0x92, 0x84}};
    virtual bool is_installed_correctly() = 0;
};

#pragma once
// Entries of the host's advanced-settings tree.
#include <windows.h>

#include <cstddef>

#include "service.h"
#include "string_base.h"

class advconfig_entry : public service_base {
public:
    using service_class = advconfig_entry;
    static constexpr GUID class_guid = {0xA1489D88, 0xEE70, 0x4B74, {0x91, 0x26, 0x04, 0x2B, 0x39, 0x12, 0x43, 0xF8}};
    virtual void get_name(string_base& out) = 0;   // 3
    virtual GUID get_guid() = 0;                    // 4
    virtual GUID get_parent() = 0;                  // 5
    virtual void reset() = 0;                       // 6
    virtual double get_sort_priority() = 0;         // 7
};

class advconfig_branch : public advconfig_entry {
public:
    static constexpr GUID class_guid = {0x307A87E6, 0xBCCE, 0x4A61, {0xB1, 0x0E, 0xD3, 0x3A, 0x44, 0xED, 0xCF, 0x20}};
};

class advconfig_entry_string : public advconfig_entry {
public:
    static constexpr GUID class_guid = {0x338FD3D6, 0xE40A, 0x490C, {0x90, 0x5A, 0x5D, 0x09, 0xD4, 0x3A, 0x60, 0x3F}};
    enum : unsigned { flag_is_integer = 1 };
    virtual void get_state(string_base& out) = 0;                       // 8
    virtual void set_state(const char* text, std::size_t length) = 0;   // 9
    virtual unsigned get_flags() = 0;                                   // 10
};

class advconfig_entry_string_v2 : public advconfig_entry_string {
public:
    static constexpr GUID class_guid = {0x2721A7D6, 0xC16A, 0x4969, {0x9A, 0x15, 0x0C, 0xA2, 0xB7, 0x39, 0xBA, 0xE6}};
    virtual void get_default_state(string_base& out) = 0;   // 11
    virtual void validate(string_base& text) = 0;           // 12
    virtual unsigned get_preferences_flags() = 0;           // 13
};

// An on/off entry, shown by the host as a checkbox.
class advconfig_entry_checkbox : public advconfig_entry {
public:
    static constexpr GUID class_guid = {0x4896514E, 0x104E, 0x47C0, {0x83, 0x06, 0xDB, 0x76, 0x01, 0xD0, 0x2E, 0xF0}};
    virtual bool get_state() = 0;            // 8
    virtual void set_state(bool state) = 0;  // 9
};

class advconfig_entry_checkbox_v2 : public advconfig_entry_checkbox {
public:
    static constexpr GUID class_guid = {0xC663AA08, 0x3F43, 0x4C29, {0x90, 0xF8, 0x15, 0xC7, 0x7F, 0xDE, 0x81, 0x07}};
    virtual bool get_default_state() = 0;          // 10
    virtual unsigned get_preferences_flags() = 0;  // 11
};

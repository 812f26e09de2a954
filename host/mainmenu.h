#pragma once
// The host's main menu: groups (a popup group is a submenu) and command
// sets that a component registers into them.
#include <windows.h>

#include <cstdint>

#include "service.h"
#include "string_base.h"

class mainmenu_group : public service_base {
public:
    using service_class = mainmenu_group;
    static constexpr GUID class_guid = {0x21656AB9, 0x0255, 0x4F8C, {0x8F, 0xB9, 0x1A, 0x77, 0x48, 0xBC, 0xE9, 0x3A}};
    virtual GUID get_guid() = 0;                      // 3
    virtual GUID get_parent() = 0;                    // 4
    virtual std::uint32_t get_sort_priority() = 0;    // 5
};

class mainmenu_group_popup : public mainmenu_group {
public:
    static constexpr GUID class_guid = {0x2E673A2E, 0xA4EE, 0x419C, {0x94, 0xC8, 0x9C, 0x83, 0x86, 0x60, 0x41, 0x4C}};
    virtual void get_display_string(string_base& out) = 0;  // 6
};

class mainmenu_commands : public service_base {
public:
    using service_class = mainmenu_commands;
    static constexpr GUID class_guid = {0x35077B8C, 0x6E70, 0x47BA, {0xB9, 0xDD, 0xD5, 0x15, 0x00, 0xE1, 0x2F, 0x2E}};
    enum display_flags : std::uint32_t { flag_disabled = 1, flag_checked = 2 };
    static constexpr std::uint32_t sort_priority_dontcare = 0x80000000u;

    virtual std::uint32_t get_command_count() = 0;                                          // 3
    virtual GUID get_command(std::uint32_t index) = 0;                                      // 4
    virtual void get_name(std::uint32_t index, string_base& out) = 0;                       // 5
    virtual bool get_description(std::uint32_t index, string_base& out) = 0;                // 6
    virtual GUID get_parent() = 0;                                                          // 7
    virtual std::uint32_t get_sort_priority(std::uint32_t index) = 0;                       // 8
    // Answers whether the command is shown; fills its text and adds flags.
    virtual bool get_display(std::uint32_t index, string_base& text, std::uint32_t& flags) = 0;  // 9
    virtual void execute(std::uint32_t index, service_base* callback) = 0;                 // 10
};

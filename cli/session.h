#pragma once
// What one run of the tool works on: the profile, the player stand-in with
// the component loaded from its DLL, and, for the plug-in list and preset
// edits, the component's own code linked into the tool.
#include <memory>
#include <string>

#include "../host_standin/component_host.h"
#include "profile.h"

struct tool_options {
    std::wstring profile_folder;
    std::wstring format = L"float";  // output sample format
    unsigned chunk_frames = 1024;
    bool quiet = false;
};

class session {
public:
    explicit session(const tool_options& options);
    ~session();

    profile& prof() { return profile_; }
    const tool_options& options() const { return options_; }

    // The component as the player loads it, with the profile's chain and
    // configuration.
    component_host& player();
    // The component's code inside the tool, for list and preset work.
    component_host& linked();

    // Saves the profile's state; a running player takes the new chain the
    // way the player takes a chain edit.
    void commit_state();
    // The plug-in list changed: the player offers the new list only after a
    // restart, so the next use starts it anew.
    void list_changed();

    // The text of the last error message the component showed, if any.
    std::string last_error_popup(component_host& host) const;

private:
    tool_options options_;
    profile profile_;
    std::unique_ptr<component_host> player_;
    std::unique_ptr<component_host> linked_;
};

// The folder of orvane.exe, with a trailing backslash.
std::wstring tool_folder();

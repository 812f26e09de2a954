#pragma once
// What one run of the tool works on: the profile, and the player stand-in
// with the component loaded from its DLL. The tool reaches the component
// only through what the DLL registers: the player's services, and the
// component's scripting interface for the plug-in list and preset edits.
#include <memory>
#include <string>

#include "../host_standin/component_host.h"
#include "profile.h"
#include "scripting.h"

struct tool_options {
    std::wstring profile_folder;
    std::wstring format = L"float";  // output sample format
    unsigned chunk_frames = 1024;
    bool quiet = false;
    // How long `process` waits for the next chunk, and `add` for a plug-in
    // to load, before it reports the plug-in call it is stuck in and stops.
    unsigned stall_seconds = 30;
    unsigned load_seconds = 30;
    // add: the plug-in is checked in, and runs in, a process of its own.
    bool isolate = false;
    // scan: into subfolders, DLLs checked at a time (0: as many as there are
    // processors), adding what it finds, loading remembered DLLs again.
    bool recursive = false;
    unsigned jobs = 0;
    bool add = false;
    bool rescan = false;
};

class session {
public:
    explicit session(const tool_options& options);
    ~session();

    profile& prof() { return profile_; }
    const tool_options& options() const { return options_; }

    // The component as the player runs it, with the profile's chain and
    // configuration.
    component_host& player();
    // The component's scripting interface: on the running player, else on
    // the component started with an empty chain, so that a list or preset
    // command does not load every chain position's plug-in.
    component_scripting& scripting();

    // Saves the profile's state; a running player takes the new chain the
    // way the player takes a chain edit.
    void commit_state();
    // The plug-in list changed: the player offers the new list only after a
    // restart, so the next use starts it anew.
    void list_changed();
    // Keeps the running component's configuration (its settings, where each
    // plug-in runs) in the profile, as the player does when it ends.
    void keep_configuration();

private:
    void start(bool with_chain);
    void stop();

    tool_options options_;
    profile profile_;
    std::unique_ptr<component_host> player_;
    bool runs_chain_ = false;
    std::unique_ptr<component_scripting> scripting_;
};

// The folder of orvane.exe, with a trailing backslash.
std::wstring tool_folder();

#pragma once
// What one run of the tool works on: the profile, and the player stand-in
// with the component loaded from its DLL. The tool reaches the component
// only through what the DLL registers: the player's services, and the
// component's scripting interface for the plug-in list and preset edits.
#include <functional>
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
    // process: the chain runs as the player plays it, not as a file job: a
    // plug-in in its own process that is late with a block loses that chunk.
    bool as_played = false;
    // process: the chain's reported delay is taken out of the output, and
    // this much silence after the input is run through it and kept.
    bool delay_compensation = true;
    double tail_seconds = 0.0;
    bool process_options = false;  // either was given
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
    // configuration. `before_chain` runs with its scripting interface once
    // the component is there and before the chain's plug-ins load, when
    // this call starts it (a job arms its watchdog there); answers whether
    // it ran.
    component_host& player();
    bool start_player(const std::function<void(component_scripting&)>& before_chain);
    // The component's scripting interface: on the running player, else on
    // the component started with an empty chain, so that a list or preset
    // command does not load every chain position's plug-in.
    component_scripting& scripting();
    // The component as scripting() runs it: the running player, else the
    // component started with an empty chain.
    component_host& component();

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
    void start(bool with_chain, const std::function<void(component_scripting&)>& before_chain = {});
    void stop();

    tool_options options_;
    profile profile_;
    std::unique_ptr<component_host> player_;
    bool runs_chain_ = false;
    std::unique_ptr<component_scripting> scripting_;
};

// The folder of orvane.exe, with a trailing backslash.
std::wstring tool_folder();

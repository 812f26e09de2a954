#pragma once
// Which plug-ins run in a process of their own (a bridge), and how long a
// call into such a process may take before the plug-in counts as hung.
#include <cstdint>
#include <string>

#include "../shell/entry.h"

// Where a plug-in's code runs.
enum class plugin_place {
    as_chosen,    // its architecture and the user's choice decide (isolation_wanted)
    in_process,   // in this process, whatever the choice
    own_process,  // in a bridge process of its own, whatever the choice
    // In a bridge process of its own where nobody can answer a window the
    // plug-in shows (a check of many files at once): each call's hang limit
    // counts from its start, whatever the plug-in's windows do.
    own_process_unattended,
};

// Whether the user wants this configured plug-in in a process of its own:
// the advanced setting "Run every plug-in in its own process", else the
// choice kept for its identifier. Asked only for a DLL of this process's
// architecture: one of the other architecture always runs in its own
// process. Any thread.
bool isolation_wanted(const entry& configured);

// The machine of the configured plug-in's DLL when that is the other
// architecture's (it can only run in its own process), else
// k_machine_unknown. Reads the DLL's header.
std::uint16_t foreign_machine(const entry& configured);

// Whether the DLL at `resolved_path` runs in a bridge process.
bool runs_in_own_process(const std::string& resolved_path, const entry& configured, plugin_place place);

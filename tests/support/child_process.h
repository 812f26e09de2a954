#pragma once
// Runs a program of the build as a user would, and collects what it says.
#include <functional>
#include <string>
#include <vector>

struct tool_run {
    int exit_code = -1;
    std::string out;
    std::string err;
};

struct run_place {
    std::wstring working_folder;  // empty: the test's own
    std::wstring temp_folder;     // empty: the test's own TEMP and TMP
    std::vector<std::wstring> environment;  // NAME=VALUE added to the test's
    bool own_console = false;     // a console of its own, which takes Ctrl+C
    std::wstring program;         // empty: bin\orvane.exe
};

// Runs bin\orvane.exe (or the place's program) with the given arguments (each quoted).
tool_run run_orvane(const std::vector<std::wstring>& arguments, const run_place& place = {});
// The same, calling `drive` with the child's process id while it runs (to
// work its windows); the child is ended if it outlives `drive` by a minute.
tool_run run_orvane_driven(const std::vector<std::wstring>& arguments,
                           const std::function<void(unsigned long process_id)>& drive, const run_place& place = {});

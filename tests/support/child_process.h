#pragma once
// Runs a program of the build as a user would, and collects what it says.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct tool_run {
    int exit_code = -1;
    std::string out;
    std::string err;
};

// Runs bin\orvane.exe with the given arguments (each quoted).
tool_run run_orvane(const std::vector<std::wstring>& arguments);

// The same, calling `meanwhile` with the tool's process id while it runs
// (to find and work its windows).
tool_run run_orvane(const std::vector<std::wstring>& arguments, const std::function<void(DWORD)>& meanwhile);

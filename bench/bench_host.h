#pragma once
// The component's code linked into the benchmark, started by the player
// stand-in in a throwaway profile, and where the build put the plug-ins.
#include <windows.h>

#include <memory>
#include <string>

#include "../host_standin/component_host.h"

class bench_host {
public:
    bench_host();
    ~bench_host();
    bench_host(const bench_host&) = delete;
    bench_host& operator=(const bench_host&) = delete;
    component_host& host() { return *host_; }

private:
    std::wstring profile_;
    std::unique_ptr<component_host> host_;
};

// The folder of the running program, with a trailing backslash.
std::wstring program_folder();
// A pass-through plug-in DLL built beside the benchmark, for 1, 2 or 6 channels.
std::wstring pass_through_dll(unsigned channels);

#pragma once
// A plug-in in a process of its own, as a vst sees it: the entry function
// gives a stand-in record whose functions forward to that process, so
// validation, audio, presets and the editor run the code they run for a
// plug-in in this process. What else a vst asks of it is here; how it is
// done lives with the bridge (bridge/player/).
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "../plugin_api/aeffect.h"

class isolated_plugin {
public:
    virtual ~isolated_plugin() = default;

    // Calls the entry function in the process: the stand-in record, or
    // null. Raises the plug-in's fault: call it inside the crash guard.
    virtual AEffect* call_entry() = 0;
    // Lets the process close the plug-in and end by itself, without waiting
    // for either: for a thread that must not wait (it holds the instance
    // lock, or runs audio). Destroying it otherwise closes both, bounded.
    virtual void let_go() = 0;

    // Audio thread, before processReplacing: how many pointers the caller's
    // arrays hold (the record's counts may have grown since).
    virtual void limit_ports(std::uint32_t inputs, std::uint32_t outputs) = 0;
    // After processReplacing: whether the block did not come back (late, or
    // not given at all); the outputs then hold nothing to use.
    virtual bool block_skipped() const = 0;
    // Blocks the player lost because the plug-in was late.
    virtual std::uint64_t late_blocks() const = 0;
    // Once, after a block that could not be handed over at all: why, in
    // words for the user; null otherwise.
    virtual const char* take_audio_trouble() = 0;
    // What ended the process when nothing the player called was running
    // ("its editor window", ...); null for a fault inside a call.
    virtual const char* fault_place() const = 0;

    virtual DWORD process_id() const = 0;

    // The restart after the process stopped, on one thread (the restarting
    // one): lets no other thread into the stand-in's functions, waits for
    // those inside to leave, ends what is left of the old process, starts a
    // fresh one, loads the DLL and calls its entry function. The stand-in
    // record keeps its address and mirrors the new plug-in. False, with
    // `why` in words for the user, when the plug-in cannot be had again.
    // The restarting thread then replays what the plug-in had been told
    // through the record, and calls end_restart() either way.
    virtual bool begin_restart(std::string& why) = 0;
    virtual void end_restart() = 0;
    // Any thread: ends the process a restart is starting or setting up, so
    // that the restarting thread's calls come back at once, and lets that
    // restart start nothing more.
    virtual void abandon_restart() = 0;
    // Heap allocations the process made serving audio (when counted).
    virtual std::uint32_t audio_allocations() const = 0;
    // The time its audio thread spent spinning or serving, in microseconds,
    // at its last answer to audio (when counted).
    virtual std::uint32_t audio_busy_microseconds() const = 0;
};

struct isolated_start {
    enum class outcome { ready, refused_loading, no_entry, cannot_start };
    outcome result = outcome::refused_loading;
    std::unique_ptr<isolated_plugin> plugin;  // set when ready
    std::string why;                          // cannot_start: which process and the system's reason
};

// Starts the process of the DLL's architecture (`machine`), which loads the
// DLL and finds its entry function. `unattended`: nobody can answer a
// window the plug-in shows, so each call's hang limit counts from its
// start. Nothing is left running unless it is ready.
isolated_start start_isolated_plugin(const std::string& resolved_path, std::uint16_t machine, bool unattended);

// How long loading a DLL in a process of its own may take.
std::uint32_t isolated_load_limit_ms();

#pragma once
// The player's side of a bridge's lanes. One call at a time per lane; a call
// the component makes while it serves a host call (the plug-in called us,
// we call the plug-in back) goes on that host call's lane, where the
// bridge's thread that made the host call serves it. Every wait is bounded
// by the call's deadline and by the bridge process's life.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <thread>

#include "../Helpers/critical_section.h"
#include "../Helpers/win32_handles.h"
#include "bridge_process.h"

enum class call_outcome {
    answered,  // the reply is in the message
    gone,      // the process ended, or was ended (end_code says why); nothing more will come
    refused,   // no lane can take a call on this thread now; nothing was sent
};

// Serves a host call in place: reads the request, writes the reply's fields.
class host_call_server {
public:
    virtual void serve_host_call(bridge::message& m) = 0;

protected:
    ~host_call_server() = default;
};

class bridge_channel {
public:
    // Starts the thread that serves the callback lane.
    bridge_channel(bridge_process& process, host_call_server& server);
    // Ends the process if it still runs, and stops that thread.
    ~bridge_channel();
    bridge_channel(const bridge_channel&) = delete;
    bridge_channel& operator=(const bridge_channel&) = delete;

    // 0 while the process runs; else the fault to report for it: the
    // plug-in's own fault, k_fault_process_ended or k_fault_process_hung.
    std::uint32_t end_code() const { return end_code_.load(); }
    // Ends the process for `code` (the first reason given is kept).
    void end(std::uint32_t code);

    // Whether this thread is inside a call to any bridge: waiting for a
    // reply, or serving a host call.
    static bool inside_a_call();

    class call {
    public:
        call(bridge_channel& channel, bridge::lane_index wanted);
        ~call();
        call(const call&) = delete;
        call& operator=(const call&) = delete;
        // False when no lane can take a call on this thread now: then leave
        // msg() alone (it may be another call's), and exchange() refuses.
        bool usable() const { return usable_; }
        bridge::message& msg() { return channel_.process_.lane(lane_).msg; }
        // Sends the request in msg() and waits for its reply, serving the
        // plug-in's host calls meanwhile. `deadline_ms` counts from each
        // time the bridge gets the turn.
        call_outcome exchange(std::uint32_t deadline_ms);

    private:
        bridge_channel& channel_;
        bridge::lane_index lane_ = bridge::lane_control;
        bool usable_ = false;
        bool owns_lane_ = false;
    };

private:
    void serve(bridge::lane_index l);
    void serve_callback_lane();
    call_outcome gone();

    bridge_process& process_;
    host_call_server& server_;
    critical_section lane_locks_[2];     // control, audio
    std::atomic<DWORD> lane_owners_[2];  // the thread in a call on each, 0 when none
    std::atomic<std::uint32_t> sequence_{0};
    std::atomic<std::uint32_t> end_code_{0};
    unique_handle stop_;
    std::thread callback_server_;
};

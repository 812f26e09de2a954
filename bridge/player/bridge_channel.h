#pragma once
// The player's side of a bridge's lanes. One call at a time per lane; a call
// the component makes while it serves a host call (the plug-in called us,
// we call the plug-in back) goes on that host call's lane, where the
// bridge's thread that made the host call serves it. Every wait is bounded
// by the call's hang limit (hang_limits.h) and by the bridge process's life.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <thread>

#include "../../Helpers/critical_section.h"
#include "../../Helpers/win32_handles.h"
#include "bridge_process.h"

enum class call_outcome {
    answered,  // the reply is in the message
    gone,      // the process ended, or was ended (end_code says why); nothing more will come
    refused,   // no lane can take a call on this thread now; nothing was sent
    late,      // (exchange_or_late) the call goes on in the bridge; a later call on the lane collects its reply
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
    // Starts the thread that serves the callback lane. `unattended`: nobody
    // can answer a window the plug-in shows (a check of a file), so the
    // window thread's hang limits count from the call's start alone.
    bridge_channel(bridge_process& process, host_call_server& server, bool unattended);
    // Stops that thread. The process is left as it is: ending it, or letting
    // it end by itself, is the owner's choice.
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
        // plug-in's host calls meanwhile, up to `limit_ms` from now.
        call_outcome exchange(std::uint32_t limit_ms);
        // As exchange, but stops waiting after `late_ms`: the call then goes
        // on in the bridge (`late`) until its reply comes or its hang limit
        // passes, and the lane takes no other call before that.
        call_outcome exchange_or_late(std::uint32_t late_ms, std::uint32_t limit_ms);

        enum class earlier { none, collected, running, gone };
        // A call on this lane that was left late: waits for it up to
        // `wait_ms` (0: just looks). `collected`: its reply is in msg() now,
        // to be read as that call's; `running`: it goes on; `gone`: it
        // reached its hang limit or the process ended.
        earlier settle_late(std::uint32_t wait_ms);

    private:
        std::uint32_t send();
        bridge_channel& channel_;
        bridge::lane_index lane_ = bridge::lane_control;
        bool usable_ = false;
        bool owns_lane_ = false;
    };

private:
    struct late_call {
        std::uint32_t sequence = 0;  // 0: none
        ULONGLONG started = 0;
        std::uint32_t limit_ms = 0;
    };

    // Waits for the reply to `sequence` on `l`, serving host calls, until
    // the hang limit (then the process is ended) or `give_up_at` (late).
    call_outcome await(bridge::lane_index l, std::uint32_t sequence, ULONGLONG started, std::uint32_t limit_ms,
                       ULONGLONG give_up_at, std::uint32_t spin_microseconds);
    // When the call counts as hung: its start plus its limit, or for the
    // window thread the last sign of life plus the limit, if later.
    ULONGLONG hang_time(bridge::lane_index l, ULONGLONG started, std::uint32_t limit_ms) const;
    void serve(bridge::lane_index l);
    void serve_callback_lane();
    call_outcome gone();

    bridge_process& process_;
    host_call_server& server_;
    const bool unattended_;
    critical_section lane_locks_[2];     // control, audio
    std::atomic<DWORD> lane_owners_[2];  // the thread in a call on each, 0 when none
    late_call late_[2];                  // under the lane's lock
    std::atomic<std::uint32_t> sequence_{0};
    std::atomic<std::uint32_t> end_code_{0};
    unique_handle stop_;
    std::thread callback_server_;
};

#pragma once
// The bridge's side of the shared block: the lanes it serves, the host
// calls it sends, and the player's process it watches.
#include <windows.h>

#include <atomic>
#include <string>

#include "../../Helpers/critical_section.h"
#include "../../Helpers/win32_handles.h"
#include "audio_spin.h"
#include "../common/lane_wait.h"
#include "../common/protocol.h"

namespace bridge {

// Serves one request in place: reads the request from the message and
// writes the reply's fields over it (kind, sequence and the hand-over are
// done by the link).
class request_handler {
public:
    virtual void serve(lane_index lane, message& m) = 0;

protected:
    ~request_handler() = default;
};

class bridge_link {
public:
    bridge_link() = default;
    bridge_link(const bridge_link&) = delete;
    bridge_link& operator=(const bridge_link&) = delete;

    // Opens the block and the events named after `base`, checks that the
    // player built the block as we do, and tells it so (state_ready or
    // state_refused). False when anything is missing or differs.
    bool open(const std::wstring& base);
    void set_handler(request_handler& handler) { handler_ = &handler; }
    shared_block& block() { return *block_; }

    // After every audio request, publish the heap allocations counted so far
    // (block_header::audio_allocations), for the benchmark.
    void count_audio_allocations() { count_allocations_ = true; }

    // A fixed time the audio thread spins for the next block before it
    // sleeps, instead of the learnt one (audio_spin.h): the benchmark
    // compares.
    void fix_audio_spin(std::uint32_t microseconds) { audio_spin_.fix(microseconds); }

    // The audio thread: serves the audio lane until the player ends.
    [[noreturn]] void run_audio_lane();
    // The window thread: serves the control lane and pumps the thread's
    // windows until `quit` is set by a request or the player ends. A request
    // is also served from any message loop that runs on this thread in the
    // meantime (a file chooser the plug-in's editor shows), and the thread's
    // heartbeat in the header goes on while any loop runs.
    void run_control_lane(const bool& quit);

    // Whether the player let go of the plug-in: it answers no host call any
    // more, and the process is to close the plug-in and end by itself.
    bool detached() const { return block_->header.detached.load() != 0; }

    // Writes where a fault outside every call happened, for the player to
    // tell, then ends this process with the fault's code.
    [[noreturn]] void end_for_fault(std::uint32_t code, fault_place place);

    // Ends this process at once, without unloading anything: the player is
    // gone, or nothing of the plug-in can be trusted any more.
    [[noreturn]] static void end_now(UINT code);

    // A host call the plug-in makes on this thread: nested in the request the
    // thread serves, or else on the callback lane. Write the request into
    // `message()`, then `exchange()`.
    class host_call {
    public:
        explicit host_call(bridge_link& link);
        ~host_call();
        host_call(const host_call&) = delete;
        host_call& operator=(const host_call&) = delete;
        // False when no lane can take the call (this thread already waits
        // for a reply on the callback lane and was re-entered): answer 0.
        bool usable() const { return lane_ != nullptr; }
        message& msg() { return lane_->msg; }
        // Sends the request and waits for the reply, serving the player's
        // nested requests meanwhile. Ends the process if the player ends.
        void exchange();

    private:
        bridge_link& link_;
        lane* lane_ = nullptr;
        lane_index index_ = lane_control;
        bool holds_callback_lane_ = false;
    };

private:
    lane& get(lane_index l) { return block_->lanes[l]; }
    // Serves the request that arrived on `l` and hands the reply back.
    void serve(lane_index l);
    // The window thread: serves a request waiting on the control lane, if
    // one is and none is being served on this thread already.
    void serve_waiting_control_request();
    // Dispatches the window thread's messages; a fault in a window
    // procedure there ends the process, saying so.
    void pump_messages();
    // Waits until this side holds the lane's turn; ends the process when the
    // player ends first. With `unless_detached`, gives up (false) once the
    // player has let go.
    bool wait_turn(lane_index l, message_policy messages, bool unless_detached = false);
    bool make_control_window();
    static LRESULT CALLBACK control_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

    unique_handle mapping_;
    unique_view block_view_;
    shared_block* block_ = nullptr;  // in block_view_
    unique_handle to_player_[k_lane_count];
    unique_handle to_bridge_[k_lane_count];
    unique_handle parent_;
    request_handler* handler_ = nullptr;
    bool count_allocations_ = false;
    audio_spin audio_spin_;
    // With the counting: the audio thread's busy time so far, and when it
    // began serving the request at hand.
    std::int64_t audio_busy_us_ = 0;
    std::int64_t audio_served_from_ = 0;
    unique_hwnd control_window_;
    int control_serving_ = 0;  // window thread: control requests being served on it now
    critical_section callback_lane_lock_;
    std::atomic<DWORD> callback_lane_owner_{0};
    std::atomic<std::uint32_t> callback_sequence_{0};
};

}  // namespace bridge

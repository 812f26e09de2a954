#include "bridge_link.h"

#include "../Helpers/alloc_count.h"

namespace bridge {

namespace {

// What this thread is doing on a lane, innermost first: serving a request
// of the player (then it holds the turn, and a host call it makes nests in
// that request) or waiting for the reply to a host call.
struct lane_frame {
    lane_index lane;
    bool serving;
    lane_frame* outer;
};
thread_local lane_frame* t_frame = nullptr;

class frame_scope {
public:
    frame_scope(lane_index l, bool serving) : frame_{l, serving, t_frame} { t_frame = &frame_; }
    ~frame_scope() { t_frame = frame_.outer; }
    frame_scope(const frame_scope&) = delete;
    frame_scope& operator=(const frame_scope&) = delete;

private:
    lane_frame frame_;
};

}  // namespace

bridge_link::~bridge_link() {
    if (block_) UnmapViewOfFile(block_);
}

bool bridge_link::open(const std::wstring& base) {
    mapping_.reset(OpenFileMappingW(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, base.c_str()));
    if (!mapping_) return false;
    block_ = static_cast<shared_block*>(MapViewOfFile(mapping_.get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0));
    if (!block_) return false;
    block_header& h = block_->header;
    h.bridge_process = GetCurrentProcessId();
    h.bridge_pointer_bits = sizeof(void*) * 8;
    if (h.magic != k_magic || h.version != k_protocol_version || h.header_bytes != sizeof(block_header) ||
        h.message_bytes != sizeof(message) || h.block_bytes != sizeof(shared_block)) {
        h.state.store(state_refused);
        return false;
    }
    for (std::uint32_t l = 0; l < k_lane_count; ++l) {
        to_player_[l].reset(OpenEventW(EVENT_MODIFY_STATE, FALSE, lane_event_name(base, l, L'p').c_str()));
        to_bridge_[l].reset(OpenEventW(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, lane_event_name(base, l, L'b').c_str()));
        if (!to_player_[l] || !to_bridge_[l]) return false;
    }
    parent_.reset(OpenProcess(SYNCHRONIZE, FALSE, h.player_process));
    if (!parent_) return false;
    h.state.store(state_ready);
    SetEvent(to_player_[lane_control].get());  // the player waits for the handshake there
    return true;
}

void bridge_link::end_now(UINT code) { TerminateProcess(GetCurrentProcess(), code); for (;;) Sleep(INFINITE); }

void bridge_link::wait_turn(lane_index l, message_policy messages) {
    HANDLE parent = parent_.get();
    wait_options options;
    options.messages = messages;
    for (;;) {
        const wait_result r = wait_for_turn(get(l), side_bridge, to_bridge_[l].get(), &parent, 1, options);
        if (r.outcome == wait_outcome::turn) return;
        if (r.outcome == wait_outcome::handle) end_now(0);  // the player ended: nothing to serve any more
    }
}

void bridge_link::serve(lane_index l) {
    message& m = get(l).msg;
    const std::uint32_t sequence = m.sequence;
    {
        frame_scope serving(l, true);
        if (m.kind == kind_request && handler_) {
            handler_->serve(l, m);
        } else {
            m.status = status_bad_request;
        }
    }
    m.kind = kind_reply;
    m.sequence = sequence;
    if (count_allocations_ && l == lane_audio)
        block_->header.audio_allocations.store(static_cast<std::uint32_t>(allocation_count()));
    hand_over(get(l), side_bridge, to_player_[l].get());
}

void bridge_link::run_audio_lane() {
    for (;;) {
        wait_turn(lane_audio, message_policy::none);
        serve(lane_audio);
    }
}

void bridge_link::run_control_lane(const bool& quit) {
    HANDLE parent = parent_.get();
    wait_options options;
    options.messages = message_policy::all;
    while (!quit) {
        const wait_result r =
            wait_for_turn(get(lane_control), side_bridge, to_bridge_[lane_control].get(), &parent, 1, options);
        if (r.outcome == wait_outcome::turn) {
            serve(lane_control);
        } else if (r.outcome == wait_outcome::handle) {
            end_now(0);
        } else {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
    }
}

bridge_link::host_call::host_call(bridge_link& link) : link_(link) {
    if (t_frame && t_frame->serving) {
        // Nested in the request this thread serves: it holds that lane's turn.
        index_ = t_frame->lane;
        lane_ = &link.get(index_);
        return;
    }
    // A call from a thread of the plug-in's own, or from one that waits for
    // a reply already: the callback lane, one call at a time.
    if (link.callback_lane_owner_ == GetCurrentThreadId()) return;
    link.callback_lane_lock_.enter();
    link.callback_lane_owner_ = GetCurrentThreadId();
    holds_callback_lane_ = true;
    index_ = lane_callback;
    lane_ = &link.get(lane_callback);
}

bridge_link::host_call::~host_call() {
    if (!holds_callback_lane_) return;
    link_.callback_lane_owner_ = 0;
    link_.callback_lane_lock_.leave();
}

void bridge_link::host_call::exchange() {
    message& m = lane_->msg;
    const std::uint32_t sequence = ++link_.callback_sequence_;
    m.kind = kind_request;
    m.command = command_host_call;
    m.sequence = sequence;
    hand_over(*lane_, side_bridge, link_.to_player_[index_].get());
    frame_scope waiting(index_, false);
    for (;;) {
        link_.wait_turn(index_, message_policy::sent);
        if (m.kind == kind_reply) {
            // A reply to another call than ours: the two sides disagree about
            // the conversation, and nothing sent on it can be trusted.
            if (m.sequence != sequence) end_now(3);
            return;
        }
        link_.serve(index_);  // the player calls the plug-in from inside this host call
    }
}

}  // namespace bridge

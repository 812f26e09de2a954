#include "bridge_channel.h"

#include "../bridge/lane_wait.h"
#include "bridge_faults.h"

namespace {

// What this thread does with a bridge, innermost first: waiting for the
// reply to a call, or serving a host call (then it holds that lane's turn,
// and a call it makes goes on that lane).
struct lane_frame {
    const bridge_channel* channel;
    bridge::lane_index lane;
    bool serving;
    lane_frame* outer;
};
thread_local lane_frame* t_frame = nullptr;

class frame_scope {
public:
    frame_scope(const bridge_channel* c, bridge::lane_index l, bool serving) : frame_{c, l, serving, t_frame} {
        t_frame = &frame_;
    }
    ~frame_scope() { t_frame = frame_.outer; }
    frame_scope(const frame_scope&) = delete;
    frame_scope& operator=(const frame_scope&) = delete;

private:
    lane_frame frame_;
};

// The playback thread waits longer before it sleeps: the bridge's audio
// thread is often asleep when a block comes and takes a wake-up (tens of
// microseconds under Wine) to start, and a reply caught by spinning saves
// the second wake-up, ours.
constexpr std::uint32_t k_audio_reply_spin_microseconds = 300;

bridge::message_policy messages_for(bridge::lane_index l) {
    // The audio thread keeps no message queue; every other waiting thread
    // serves what other windows send to its own (an editor window of ours
    // that the bridge's windows talk to).
    return l == bridge::lane_audio ? bridge::message_policy::none : bridge::message_policy::sent;
}

}  // namespace

bridge_channel::bridge_channel(bridge_process& process, host_call_server& server)
    : process_(process), server_(server), stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    for (auto& owner : lane_owners_) owner = 0;
    callback_server_ = std::thread([this] { serve_callback_lane(); });
}

bridge_channel::~bridge_channel() {
    process_.end();
    SetEvent(stop_.get());
    if (callback_server_.joinable()) callback_server_.join();
}

void bridge_channel::end(std::uint32_t code) {
    std::uint32_t none = 0;
    end_code_.compare_exchange_strong(none, code);
    process_.end();
}

bool bridge_channel::inside_a_call() { return t_frame != nullptr; }

call_outcome bridge_channel::gone() {
    // Found gone without being told why: it ended by itself.
    std::uint32_t none = 0;
    end_code_.compare_exchange_strong(none, k_fault_process_ended);
    return call_outcome::gone;
}

bridge_channel::call::call(bridge_channel& channel, bridge::lane_index wanted) : channel_(channel) {
    if (t_frame && t_frame->channel == &channel && t_frame->serving) {
        // Inside a host call of this bridge: its lane, whose turn we hold.
        lane_ = t_frame->lane;
        usable_ = true;
        return;
    }
    if (wanted == bridge::lane_callback) return;
    // This thread waits on that lane already (a window message reached us
    // while we wait): a second call cannot go there.
    if (channel.lane_owners_[wanted] == GetCurrentThreadId()) return;
    channel.lane_locks_[wanted].enter();
    channel.lane_owners_[wanted] = GetCurrentThreadId();
    owns_lane_ = true;
    usable_ = true;
    lane_ = wanted;
}

bridge_channel::call::~call() {
    if (!owns_lane_) return;
    channel_.lane_owners_[lane_] = 0;
    channel_.lane_locks_[lane_].leave();
}

call_outcome bridge_channel::call::exchange(std::uint32_t deadline_ms) {
    if (!usable_) return call_outcome::refused;
    if (channel_.end_code()) return call_outcome::gone;
    bridge_process& p = channel_.process_;
    bridge::lane& l = p.lane(lane_);
    bridge::message& m = l.msg;
    const std::uint32_t sequence = ++channel_.sequence_;
    m.kind = bridge::kind_request;
    m.sequence = sequence;
    bridge::hand_over(l, bridge::side_player, p.to_bridge(lane_));

    frame_scope waiting(&channel_, lane_, false);
    HANDLE process = p.process();
    bridge::wait_options options;
    options.timeout_ms = deadline_ms;
    options.messages = messages_for(lane_);
    if (lane_ == bridge::lane_audio) options.spin_microseconds = k_audio_reply_spin_microseconds;
    for (;;) {
        const bridge::wait_result r = bridge::wait_for_turn(l, bridge::side_player, p.to_player(lane_), &process, 1,
                                                            options);
        if (r.outcome == bridge::wait_outcome::handle) return channel_.gone();
        if (r.outcome != bridge::wait_outcome::turn) {
            channel_.end(k_fault_process_hung);
            return call_outcome::gone;
        }
        if (m.kind == bridge::kind_request && m.command == bridge::command_host_call) {
            channel_.serve(lane_);  // the plug-in calls us from inside this call
            continue;
        }
        // A reply to another call than ours can only be a late one of a call
        // given up on: the conversation cannot be trusted any more.
        if (m.kind != bridge::kind_reply || m.sequence != sequence) {
            channel_.end(k_fault_process_ended);
            return call_outcome::gone;
        }
        return call_outcome::answered;
    }
}

void bridge_channel::serve(bridge::lane_index l) {
    bridge::lane& lane = process_.lane(l);
    bridge::message& m = lane.msg;
    const std::uint32_t sequence = m.sequence;
    {
        frame_scope serving(this, l, true);
        server_.serve_host_call(m);
    }
    m.kind = bridge::kind_reply;
    m.sequence = sequence;
    bridge::hand_over(lane, bridge::side_player, process_.to_bridge(l));
}

// Host calls from the plug-in's own threads, and from its windows while
// the bridge's window thread is idle: any time, so a thread of ours.
void bridge_channel::serve_callback_lane() {
    bridge::lane& l = process_.lane(bridge::lane_callback);
    HANDLE also[] = {process_.process(), stop_.get()};
    bridge::wait_options options;
    options.messages = bridge::message_policy::sent;
    for (;;) {
        const bridge::wait_result r = bridge::wait_for_turn(l, bridge::side_player,
                                                            process_.to_player(bridge::lane_callback), also, 2,
                                                            options);
        if (r.outcome == bridge::wait_outcome::turn) {
            if (l.msg.kind != bridge::kind_request) {
                end(k_fault_process_ended);
                return;
            }
            serve(bridge::lane_callback);
            continue;
        }
        if (r.outcome == bridge::wait_outcome::handle && r.handle_index == 0) gone();
        return;
    }
}

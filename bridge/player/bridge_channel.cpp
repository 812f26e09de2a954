#include "bridge_channel.h"

#include "../common/lane_frame.h"
#include "../common/lane_wait.h"
#include "../../vst/guard/plugin_guard.h"
#include "../../vst/guard/fault_codes.h"

namespace {

// The playback thread waits longer before it sleeps: the bridge's audio
// thread is often asleep when a block comes and takes a wake-up (tens of
// microseconds under Wine) to start, and a reply caught by spinning saves
// the second wake-up, ours.
constexpr std::uint32_t k_audio_reply_spin_microseconds = 300;

// Serves what other threads sent to this thread's windows. A window
// procedure that faults there (a plug-in's, in this process) is contained
// here: through the wait it would reach the guard of the call we wait for,
// which does not unwind, and leave that call's lane held for good.
void serve_sent_guarded() {
    plugin_fault fault;
    call_guarded(fault, [] {
        MSG m;
        PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    });
}

bridge::message_policy messages_for(bridge::lane_index l) {
    // The audio thread keeps no message queue; every other waiting thread
    // serves what other windows send to its own (an editor window of ours
    // that the bridge's windows talk to).
    return l == bridge::lane_audio ? bridge::message_policy::none : bridge::message_policy::sent;
}

}  // namespace

bridge_channel::bridge_channel(bridge_process& process, host_call_server& server, bool unattended)
    : process_(process), server_(server), unattended_(unattended), stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    for (auto& owner : lane_owners_) owner = 0;
    callback_server_ = std::thread([this] { serve_callback_lane(); });
}

bridge_channel::~bridge_channel() {
    SetEvent(stop_.get());
    if (callback_server_.joinable()) callback_server_.join();
}

void bridge_channel::end(std::uint32_t code) {
    std::uint32_t none = 0;
    end_code_.compare_exchange_strong(none, code);
    process_.end();
}

bool bridge_channel::inside_a_call() { return bridge::current_lane_frame() != nullptr; }

call_outcome bridge_channel::gone() {
    // Found gone without being told why: it ended by itself, after a fault
    // outside every call (it wrote which), or for a reason of its own.
    const std::uint32_t written = process_.block().header.fault_code.load();
    std::uint32_t none = 0;
    end_code_.compare_exchange_strong(none, written ? written : k_fault_process_ended);
    return call_outcome::gone;
}

bridge_channel::call::call(bridge_channel& channel, bridge::lane_index wanted) : channel_(channel) {
    if (const bridge::lane_frame* serving = bridge::serving_frame(&channel)) {
        // Inside a host call of this bridge: its lane, whose turn we hold.
        lane_ = serving->lane;
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

std::uint32_t bridge_channel::call::send() {
    bridge_process& p = channel_.process_;
    bridge::lane& l = p.lane(lane_);
    const std::uint32_t sequence = ++channel_.sequence_;
    l.msg.kind = bridge::kind_request;
    l.msg.sequence = sequence;
    bridge::hand_over(l, bridge::side_player, p.to_bridge(lane_));
    // The window thread may be inside a message loop of the plug-in's own
    // (a file chooser its editor opened): a window message reaches it there,
    // where the lane's event would not.
    if (lane_ == bridge::lane_control && owns_lane_) {
        const std::uint32_t window = p.block().header.control_window;
        if (window) PostMessageW(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window)), bridge::k_request_message, 0, 0);
    }
    return sequence;
}

call_outcome bridge_channel::call::exchange(std::uint32_t limit_ms) {
    if (!usable_) return call_outcome::refused;
    if (settle_late(INFINITE) == earlier::gone || channel_.end_code()) return call_outcome::gone;
    const ULONGLONG started = GetTickCount64();
    const std::uint32_t sequence = send();
    const std::uint32_t spin = lane_ == bridge::lane_audio ? k_audio_reply_spin_microseconds : bridge::k_spin_microseconds;
    return channel_.await(lane_, sequence, started, limit_ms, ~0ull, spin);
}

call_outcome bridge_channel::call::exchange_or_late(std::uint32_t late_ms, std::uint32_t limit_ms) {
    if (!usable_) return call_outcome::refused;
    // A process found gone meanwhile (by the thread that serves its own
    // threads' calls, say) ends this call as it would have ended it.
    if (channel_.end_code()) return call_outcome::gone;
    const earlier before = settle_late(0);
    if (before == earlier::gone) return call_outcome::gone;
    if (before != earlier::none) return call_outcome::refused;
    const ULONGLONG started = GetTickCount64();
    const std::uint32_t sequence = send();
    const std::uint32_t spin = lane_ == bridge::lane_audio ? k_audio_reply_spin_microseconds : bridge::k_spin_microseconds;
    const call_outcome outcome = channel_.await(lane_, sequence, started, limit_ms, started + late_ms, spin);
    // Only a lane of our own can be left with a call going on: a nested one
    // belongs to the host call around it.
    if (outcome == call_outcome::late && owns_lane_) channel_.late_[lane_] = {sequence, started, limit_ms};
    if (outcome == call_outcome::late && !owns_lane_)
        return channel_.await(lane_, sequence, started, limit_ms, ~0ull, 0);
    return outcome;
}

bridge_channel::call::earlier bridge_channel::call::settle_late(std::uint32_t wait_ms) {
    if (!owns_lane_) return earlier::none;
    late_call& late = channel_.late_[lane_];
    if (!late.sequence) return earlier::none;
    if (channel_.end_code()) {
        late = {};
        return earlier::gone;
    }
    const ULONGLONG give_up_at = wait_ms == INFINITE ? ~0ull : GetTickCount64() + wait_ms;
    const call_outcome outcome = channel_.await(lane_, late.sequence, late.started, late.limit_ms, give_up_at,
                                                wait_ms ? k_audio_reply_spin_microseconds : 0);
    if (outcome == call_outcome::late) return earlier::running;
    late = {};
    if (outcome != call_outcome::answered) return earlier::gone;
    // Nobody waits for what the call answered, but a fault inside it still
    // ends the plug-in.
    const bridge::message& m = msg();
    if (m.status == bridge::status_faulted) {
        channel_.end(m.fault_code);
        return earlier::gone;
    }
    return earlier::collected;
}

ULONGLONG bridge_channel::hang_time(bridge::lane_index l, ULONGLONG started, std::uint32_t limit_ms) const {
    ULONGLONG from = started;
    if (l == bridge::lane_control && !unattended_) {
        // The window thread's timer beats while any message loop runs on it,
        // the plug-in's own dialogs' too: it is not stuck in one call.
        const std::uint32_t beat = process_.block().header.window_heartbeat.load();
        if (beat) {
            const std::uint32_t age = GetTickCount() - beat;
            const ULONGLONG now = GetTickCount64();
            const ULONGLONG alive = now > age ? now - age : 0;
            if (alive > from) from = alive;
        }
    }
    return from + limit_ms;
}

call_outcome bridge_channel::await(bridge::lane_index l, std::uint32_t sequence, ULONGLONG started,
                                   std::uint32_t limit_ms, ULONGLONG give_up_at, std::uint32_t spin_microseconds) {
    bridge::lane& ln = process_.lane(l);
    bridge::message& m = ln.msg;
    bridge::lane_frame_scope waiting(this, l, false);
    HANDLE process = process_.process();
    bridge::wait_options options;
    options.messages = messages_for(l);
    options.spin_microseconds = spin_microseconds;
    options.serve_sent = serve_sent_guarded;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        const ULONGLONG hang_at = hang_time(l, started, limit_ms);
        if (now >= hang_at) {
            end(k_fault_process_hung);
            return call_outcome::gone;
        }
        // Past the time to give up, the turn is still looked at once.
        const ULONGLONG until = hang_at < give_up_at ? hang_at : give_up_at;
        const ULONGLONG wait = until > now ? until - now : 0;
        options.timeout_ms = static_cast<DWORD>(wait < INFINITE - 1 ? wait : INFINITE - 1);
        if (wait == 0) options.spin_microseconds = 0;
        const bridge::wait_result r = bridge::wait_for_turn(ln, bridge::side_player, process_.to_player(l), &process,
                                                            1, options);
        if (r.outcome == bridge::wait_outcome::handle) return gone();
        if (r.outcome != bridge::wait_outcome::turn) {
            if (options.timeout_ms == 0) return call_outcome::late;
            continue;  // the loop's head tells a hang from a late reply
        }
        if (m.kind == bridge::kind_request && m.command == bridge::command_host_call) {
            serve(l);  // the plug-in calls us from inside this call
            continue;
        }
        // A reply to another call than ours can only be a late one of a call
        // given up on: the conversation cannot be trusted any more.
        if (m.kind != bridge::kind_reply || m.sequence != sequence) {
            end(k_fault_process_ended);
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
        bridge::lane_frame_scope serving(this, l, true);
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
    options.serve_sent = serve_sent_guarded;
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

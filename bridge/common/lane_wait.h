#pragma once
// Handing a lane's turn to the other side, and waiting for it to come back:
// a short spin on the turn counter (the other side often answers within
// microseconds, and a sleep on an event costs more than that), then a sleep
// on this side's event. Both processes use this.
#include <windows.h>

#include <cstdint>

#include "protocol.h"

namespace bridge {

enum side : std::uint32_t { side_player = 0, side_bridge = 1 };

inline bool holds_turn(const lane& l, side s) { return (l.turn.load(std::memory_order_acquire) & 1u) == s; }

// Passes the turn on; wakes the other side when it sleeps on its event.
// Call only while holding the turn, with the message complete.
void hand_over(lane& l, side from, HANDLE other_event);

// How long a waiter spins before it sleeps on its event (the bridge's
// audio thread learns its own: audio_spin.h).
constexpr std::uint32_t k_spin_microseconds = 60;

enum class wait_outcome {
    turn,    // the turn came back
    handle,  // one of the other handles was signalled first (`handle_index`)
    timeout,
    input,   // a message arrived for this thread (only with message_policy::all)
};

struct wait_result {
    wait_outcome outcome;
    DWORD handle_index;
};

// What a waiting thread does with window messages. none: a plain wait
// (audio threads). sent: messages that other threads send to this thread's
// windows are served while waiting, so that a window of the other process
// (or of another thread) that sends to ours cannot deadlock with us. all:
// any message ends the wait (`input`), for a thread whose idle loop pumps
// its windows.
enum class message_policy { none, sent, all };

// Serves the messages other threads sent to this thread's windows
// (message_policy::sent). A window procedure of a plug-in may run there:
// each side passes one that contains a fault of the plug-in's.
using sent_message_server = void (*)();

struct wait_options {
    DWORD timeout_ms = INFINITE;
    message_policy messages = message_policy::none;
    std::uint32_t spin_microseconds = k_spin_microseconds;
    sent_message_server serve_sent = nullptr;  // null: served plainly
};

// Waits until `me` holds the lane's turn, one of `also` is signalled, the
// timeout passes or (message_policy::all) input arrives.
wait_result wait_for_turn(lane& l, side me, HANDLE my_event, const HANDLE* also, DWORD also_count,
                          const wait_options& options);

}  // namespace bridge

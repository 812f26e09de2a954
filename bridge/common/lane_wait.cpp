#include "lane_wait.h"

#include <intrin.h>


namespace bridge {

namespace {

std::atomic<std::uint32_t>& asleep_flag(lane& l, side s) {
    return s == side_player ? l.player_asleep : l.bridge_asleep;
}

std::int64_t ticks_per_microsecond() {
    static const std::int64_t per_us = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart >= 1000000 ? f.QuadPart / 1000000 : 1;
    }();
    return per_us;
}

std::int64_t now_ticks() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

// Past this, a spinning thread offers its core to any other thread that
// is ready to run there between its looks. The thread it handed the turn
// to is often woken on this very core (the system puts a woken thread
// where its waker runs), and would otherwise wait out the whole spin.
constexpr std::uint32_t k_polite_after_microseconds = 20;

bool spin_for_turn(const lane& l, side me, std::uint32_t microseconds) {
    if (microseconds == 0) return holds_turn(l, me);
    const std::int64_t start = now_ticks();
    const std::int64_t end = start + std::int64_t{microseconds} * ticks_per_microsecond();
    const std::int64_t polite_from = start + std::int64_t{k_polite_after_microseconds} * ticks_per_microsecond();
    for (;;) {
        for (int i = 0; i < 64; ++i) {
            if (holds_turn(l, me)) return true;
            _mm_pause();
        }
        const std::int64_t now = now_ticks();
        if (now >= end) return holds_turn(l, me);
        if (now >= polite_from) SwitchToThread();
    }
}

void serve_sent_messages() {
    MSG m;
    PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

}  // namespace

void hand_over(lane& l, side from, HANDLE other_event) {
    l.turn.fetch_add(1, std::memory_order_seq_cst);
    // Pairs with the sleeper's store of its flag before its last look at the
    // turn: either it sees the new turn, or we see it asleep and wake it.
    if (asleep_flag(l, from == side_player ? side_bridge : side_player).load(std::memory_order_seq_cst))
        SetEvent(other_event);
}

wait_result wait_for_turn(lane& l, side me, HANDLE my_event, const HANDLE* also, DWORD also_count,
                          const wait_options& options) {
    if (spin_for_turn(l, me, options.spin_microseconds)) return {wait_outcome::turn, 0};

    HANDLE handles[MAXIMUM_WAIT_OBJECTS];
    handles[0] = my_event;
    const DWORD count = also_count + 1 < MAXIMUM_WAIT_OBJECTS ? also_count + 1 : MAXIMUM_WAIT_OBJECTS;
    for (DWORD i = 1; i < count; ++i) handles[i] = also[i - 1];

    const ULONGLONG start = GetTickCount64();
    std::atomic<std::uint32_t>& asleep = asleep_flag(l, me);
    struct awake_on_exit {
        std::atomic<std::uint32_t>& flag;
        ~awake_on_exit() { flag.store(0, std::memory_order_seq_cst); }
    } awake{asleep};
    asleep.store(1, std::memory_order_seq_cst);
    for (;;) {
        if (holds_turn(l, me)) return {wait_outcome::turn, 0};
        DWORD left = INFINITE;
        if (options.timeout_ms != INFINITE) {
            const ULONGLONG spent = GetTickCount64() - start;
            left = spent >= options.timeout_ms ? 0 : static_cast<DWORD>(options.timeout_ms - spent);
        }
        DWORD r;
        if (options.messages == message_policy::none)
            r = WaitForMultipleObjects(count, handles, FALSE, left);
        else
            r = MsgWaitForMultipleObjectsEx(count, handles, left,
                                            options.messages == message_policy::all ? QS_ALLINPUT
                                                                                           : QS_SENDMESSAGE,
                                            options.messages == message_policy::all ? MWMO_INPUTAVAILABLE : 0);
        if (r == WAIT_OBJECT_0) continue;  // our event: look at the turn again
        if (r > WAIT_OBJECT_0 && r < WAIT_OBJECT_0 + count) {
            if (holds_turn(l, me)) return {wait_outcome::turn, 0};
            return {wait_outcome::handle, r - WAIT_OBJECT_0 - 1};
        }
        if (r == WAIT_OBJECT_0 + count) {
            if (options.messages == message_policy::all) {
                if (holds_turn(l, me)) return {wait_outcome::turn, 0};
                return {wait_outcome::input, 0};
            }
            (options.serve_sent ? options.serve_sent : serve_sent_messages)();
            continue;
        }
        // A timeout, or a wait that failed (a handle closed under us): once
        // more at the turn, then give up.
        if (holds_turn(l, me)) return {wait_outcome::turn, 0};
        return {wait_outcome::timeout, 0};
    }
}

}  // namespace bridge

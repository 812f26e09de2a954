#pragma once
// How long a call into a plug-in in a process of its own may go on before
// the plug-in counts as hung, its process is ended and it is switched off.
// This is the one table of them: the route of every opcode
// (bridge/common/routes.h) names one of these, and nothing else waits on a
// bridge without one.
//
// A limit counts from the call's start; host calls the plug-in makes from
// inside the call do not restart it. On the bridge's window thread (every
// call but audio) the limit counts from the later of the call's start and
// the last time that thread dispatched a message: a plug-in showing its own
// file chooser or message box inside a call is busy, not hung.
//
// An audio block has a second, shorter figure: past it the block is late.
// The player then loses that chunk, which passes through unchanged, but the
// plug-in keeps its place; it is hung only at its hang limit.
#include <cstdint>

#include "../common/routes.h"

using bridge::hang_limit;

struct bridge_deadlines {
    std::uint32_t open_ms = 10000;
    std::uint32_t chunk_ms = 60000;
    std::uint32_t call_ms = 5000;
    // An audio block not back after this many periods of its chunk, and at
    // least late_minimum_ms, is late.
    std::uint32_t late_chunk_periods = 2;
    std::uint32_t late_minimum_ms = 200;
};

bridge_deadlines current_bridge_deadlines();
void set_bridge_deadlines(const bridge_deadlines& deadlines);

std::uint32_t limit_ms(const bridge_deadlines& deadlines, hang_limit limit);
inline std::uint32_t current_limit_ms(hang_limit limit) { return limit_ms(current_bridge_deadlines(), limit); }

// When a block of `frames` at `sample_rate` is late.
std::uint32_t late_after_ms(const bridge_deadlines& deadlines, std::uint32_t frames, float sample_rate);

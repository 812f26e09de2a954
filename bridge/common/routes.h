#pragma once
// What crosses for each call, in one table that both sides read: the
// player's side to send a dispatcher call or answer a host call, the
// bridge's side to serve the one and make the other. Adding an opcode is a
// row here plus its handling where its payload is made and read.
#include <cstdint>

#include "protocol.h"

namespace bridge {

// Which hang limit a call has (the player's side sets how long each is).
enum class hang_limit : std::uint8_t {
    open,   // starting the process, loading the DLL, its entry, effOpen, effEditOpen, resume and suspend,
            // sample rate, block size, speaker arrangement
    chunk,  // effGetChunk, effSetChunk
    call,   // processReplacing and every other call
};

enum class direction : std::uint8_t {
    to_plugin,  // the player calls the plug-in's dispatcher (command_dispatch)
    to_host,    // the plug-in calls its audioMasterCallback (command_host_call)
};

struct route {
    direction way;
    std::int32_t opcode;
    pointer_kind pointer;  // how the pointer argument (or a pointer answer) travels
    lane_index lane;       // the lane a call of the player's takes (to_plugin)
    hang_limit limit;      // how long a call of the player's may take (to_plugin)
};

// The route of `opcode` in that direction. An opcode that has no row
// crosses only without its pointer (one whose meaning we do not know is
// never sent): the default route, on the control lane within the call limit.
route route_of(direction way, std::int32_t opcode);
// Whether the opcode has a row of its own.
bool has_route(direction way, std::int32_t opcode);

}  // namespace bridge

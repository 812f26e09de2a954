#pragma once
// What a thread does with the lanes of a conversation, innermost first:
// waiting for the reply to a call it made, or serving a call of the other
// side (then it holds that lane's turn, and a call it makes from inside
// goes on that same lane, where the other side waits for it). Both sides
// keep this stack the same way; a frame names its conversation, so that a
// thread in calls to several bridges keeps them apart.
#include "protocol.h"

namespace bridge {

struct lane_frame {
    const void* conversation;
    lane_index lane;
    bool serving;
    const lane_frame* outer;
};

// This thread's innermost frame, or null.
const lane_frame* current_lane_frame();

// Pushes a frame for its lifetime.
class lane_frame_scope {
public:
    lane_frame_scope(const void* conversation, lane_index lane, bool serving);
    ~lane_frame_scope();
    lane_frame_scope(const lane_frame_scope&) = delete;
    lane_frame_scope& operator=(const lane_frame_scope&) = delete;

private:
    lane_frame frame_;
};

// The lane this thread serves a call of `conversation` on, if its
// innermost frame does that: a call made now nests there. Else null.
const lane_frame* serving_frame(const void* conversation);

}  // namespace bridge

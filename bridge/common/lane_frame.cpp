#include "lane_frame.h"

#include "../../Helpers/thread_slot.h"

namespace bridge {

namespace {
// Read on every call across the bridge, audio included: a slot of the
// system's, not a compiler thread-local (thread_slot.h says why).
const thread_slot t_top;
const lane_frame* top() { return static_cast<const lane_frame*>(t_top.get()); }
}  // namespace

const lane_frame* current_lane_frame() { return top(); }

lane_frame_scope::lane_frame_scope(const void* conversation, lane_index lane, bool serving)
    : frame_{conversation, lane, serving, top()} {
    t_top.set(&frame_);
}

lane_frame_scope::~lane_frame_scope() { t_top.set(const_cast<lane_frame*>(frame_.outer)); }

const lane_frame* serving_frame(const void* conversation) {
    const lane_frame* at = top();
    return at && at->conversation == conversation && at->serving ? at : nullptr;
}

}  // namespace bridge

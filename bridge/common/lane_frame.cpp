#include "lane_frame.h"

namespace bridge {

namespace {
thread_local const lane_frame* t_top = nullptr;
}  // namespace

const lane_frame* current_lane_frame() { return t_top; }

lane_frame_scope::lane_frame_scope(const void* conversation, lane_index lane, bool serving)
    : frame_{conversation, lane, serving, t_top} {
    t_top = &frame_;
}

lane_frame_scope::~lane_frame_scope() { t_top = frame_.outer; }

const lane_frame* serving_frame(const void* conversation) {
    return t_top && t_top->conversation == conversation && t_top->serving ? t_top : nullptr;
}

}  // namespace bridge

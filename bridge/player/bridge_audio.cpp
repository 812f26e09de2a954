// Audio through a bridged plug-in: the planes travel in one mapping shared
// with the bridge, made once and again only when a block or the port count
// grows, so a block costs two copies and one hand-over each way and no
// allocation on either side.
#include <algorithm>
#include <cstring>

#include "../../vst/guard_zone.h"
#include "hang_limits.h"
#include "../../vst/audio_mode.h"
#include "plugin_bridge.h"
#include "../../vst/vst.h"

namespace {

// Planes start on cache lines; blocks are rounded up so that a few frames
// more do not need a new mapping each time.
constexpr std::uint32_t k_plane_alignment_floats = 16;
constexpr std::uint32_t k_smallest_stride = 1024;

std::uint32_t stride_for(std::uint32_t frames) {
    std::uint32_t stride = k_smallest_stride;
    while (stride < frames && stride < (1u << 30)) stride *= 2;
    return (stride + k_plane_alignment_floats - 1) / k_plane_alignment_floats * k_plane_alignment_floats;
}

std::size_t page_size() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
}

}  // namespace

bool plugin_bridge::fit_audio(bridge_channel::call& call, std::uint32_t ports, std::uint32_t frames,
                              std::uint32_t& fault) {
    // Each plane has room for a guard zone after the block, as in-process.
    const std::uint64_t needed = std::uint64_t{frames} + guard_zone_size(frames);
    if (needed > (1u << 30)) return false;
    const auto room = static_cast<std::uint32_t>(needed);
    if (audio_ && ports <= audio_ports_ && room <= audio_stride_) return true;
    const std::uint32_t new_ports = ports > audio_ports_ ? ports : audio_ports_;
    const std::uint32_t new_stride = stride_for(room > audio_stride_ ? room : audio_stride_);
    const std::uint64_t plane_bytes = std::uint64_t{new_ports} * new_stride * sizeof(float);
    const std::size_t page = page_size();
    // The bridge makes the page after the planes fault, so a plug-in that
    // writes past its last output faults there instead of in other memory.
    const std::uint64_t bytes = (plane_bytes + page - 1) / page * page + page;
    if (bytes > 0xFFFFFFFFull) return false;
    unique_handle mapping(
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, static_cast<DWORD>(bytes), nullptr));
    unique_view view = map_view(mapping.get(), FILE_MAP_READ | FILE_MAP_WRITE, plane_bytes);
    if (!view) return false;
    const std::uint32_t theirs = process_->give(mapping.get());
    if (!theirs) return false;
    bridge::message& m = call.msg();
    m.command = bridge::command_map_audio;
    m.handle = theirs;
    m.value = static_cast<std::int64_t>(bytes);
    fault = settle(call.exchange(current_limit_ms(hang_limit::call)), m);
    if (fault || m.status != bridge::status_ok) return false;
    audio_ = static_cast<float*>(view.get());
    audio_view_ = std::move(view);
    audio_mapping_ = std::move(mapping);
    audio_ports_ = new_ports;
    audio_stride_ = new_stride;
    armed_frames_ = 0;
    return true;
}

void plugin_bridge::skip_block(float** outputs, std::uint32_t outs, std::uint32_t frames) {
    block_skipped_ = true;
    // Nothing of an older block is left for a caller that reads the outputs
    // all the same.
    for (std::uint32_t i = 0; i < outs && outputs; ++i)
        if (outputs[i]) std::memset(outputs[i], 0, std::size_t{frames} * sizeof(float));
}

// Audio thread (or the declicker's); no allocation once the mapping fits.
void plugin_bridge::process(float** inputs, float** outputs, std::int32_t frames, std::uint32_t& fault) {
    const std::uint32_t ins = std::min(plugin_port_count(record_.numInputs), input_port_limit_);
    const std::uint32_t outs = std::min(plugin_port_count(record_.numOutputs), output_port_limit_);
    const std::uint32_t count = frames > 0 ? static_cast<std::uint32_t>(frames) : 0;
    block_skipped_ = false;
    bridge_channel::call call(*channel_, bridge::lane_audio);
    if (!call.usable()) {
        // This thread waits on the lane already (a host call of the plug-in
        // runs audio again): no second block can go there.
        note_audio_trouble("its audio was asked for again from inside its own audio call");
        return skip_block(outputs, outs, count);
    }
    // A block left late earlier: its reply is dropped when it has come. Until
    // then the plug-in is busy, and this block passes it by. Offline nothing
    // is late: the block is waited for.
    switch (call.settle_late(audio_offline() ? INFINITE : 0)) {
        case bridge_channel::call::earlier::running:
            late_blocks_.fetch_add(1, std::memory_order_relaxed);
            return skip_block(outputs, outs, count);
        case bridge_channel::call::earlier::gone:
            fault = channel_->end_code();
            return skip_block(outputs, outs, count);
        case bridge_channel::call::earlier::collected:
            fault = settle(call_outcome::answered, call.msg());
            if (fault) return skip_block(outputs, outs, count);
            break;
        case bridge_channel::call::earlier::none: break;
    }
    // The plug-in may write the whole block it was told into each output.
    const std::uint32_t writable = std::max(count, told_block_.load());
    if (!fit_audio(call, ins + outs, writable, fault)) {
        if (!fault) note_audio_trouble("the memory its audio travels in could not be made");
        return skip_block(outputs, outs, count);
    }
    if (!run_block(call, inputs, outputs, ins, outs, count, fault)) skip_block(outputs, outs, count);
}

bool plugin_bridge::run_block(bridge_channel::call& call, float** inputs, float** outputs, std::uint32_t ins,
                              std::uint32_t outs, std::uint32_t count, std::uint32_t& fault) {
    const std::size_t bytes = std::size_t{count} * sizeof(float);
    const std::uint32_t writable = std::max(count, told_block_.load());
    // The zones hold their pattern until a plug-in writes into them (and is
    // switched off): they are set again only for a new writable length.
    if (armed_frames_ != writable) {
        arm_guard_zones(audio_, ins + outs, audio_stride_, writable);
        armed_frames_ = writable;
    }
    for (std::uint32_t i = 0; i < ins; ++i)
        if (inputs && inputs[i]) std::memcpy(audio_ + std::size_t{i} * audio_stride_, inputs[i], bytes);

    bridge::message& m = call.msg();
    m.command = bridge::command_process;
    m.audio_inputs = ins;
    m.audio_outputs = outs;
    m.audio_stride = audio_stride_;
    m.audio_frames = count;
    const bridge_deadlines limits = current_bridge_deadlines();
    const call_outcome outcome =
        audio_offline() ? call.exchange(limits.call_ms)
                        : call.exchange_or_late(late_after_ms(limits, count, sample_rate_.load()), limits.call_ms);
    if (outcome == call_outcome::late) {
        late_blocks_.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    fault = settle(outcome, m);
    if (fault || outcome != call_outcome::answered || m.status != bridge::status_ok) return false;
    if (!guard_zones_intact(audio_, ins + outs, audio_stride_, writable)) {
        fault = k_fault_wrote_past_buffers;
        armed_frames_ = 0;
        return false;
    }
    for (std::uint32_t i = 0; i < outs; ++i)
        if (outputs && outputs[i]) std::memcpy(outputs[i], audio_ + (std::size_t{ins} + i) * audio_stride_, bytes);
    return true;
}

// Audio through a bridged plug-in: the planes travel in one mapping shared
// with the bridge, made once and again only when a block or the port count
// grows, so a block costs two copies and one hand-over each way and no
// allocation on either side.
#include <algorithm>
#include <cstring>

#include "guard_zone.h"
#include "isolation.h"
#include "plugin_bridge.h"
#include "vst.h"

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
    void* view = mapping ? MapViewOfFile(mapping.get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, plane_bytes) : nullptr;
    if (!view) return false;
    const std::uint32_t theirs = process_->give(mapping.get());
    if (!theirs) {
        UnmapViewOfFile(view);
        return false;
    }
    bridge::message& m = call.msg();
    m.command = bridge::command_map_audio;
    m.handle = theirs;
    m.value = static_cast<std::int64_t>(bytes);
    fault = settle(call.exchange(audio_deadline_ms(frames)), m);
    if (fault || m.status != bridge::status_ok) {
        UnmapViewOfFile(view);
        return false;
    }
    if (audio_) UnmapViewOfFile(audio_);
    audio_ = static_cast<float*>(view);
    audio_mapping_ = std::move(mapping);
    audio_ports_ = new_ports;
    audio_stride_ = new_stride;
    armed_frames_ = 0;
    return true;
}

// Audio thread (or the declicker's); no allocation once the mapping fits.
void plugin_bridge::process(float** inputs, float** outputs, std::int32_t frames, std::uint32_t& fault) {
    const std::uint32_t ins = std::min(plugin_port_count(record_.numInputs), input_port_limit_);
    const std::uint32_t outs = std::min(plugin_port_count(record_.numOutputs), output_port_limit_);
    const std::uint32_t count = frames > 0 ? static_cast<std::uint32_t>(frames) : 0;
    bridge_channel::call call(*channel_, bridge::lane_audio);
    if (!call.usable() || !fit_audio(call, ins + outs, count, fault)) {
        // No block crossed: silence, not the block before again.
        for (std::uint32_t i = 0; i < outs && outputs; ++i)
            if (outputs[i]) std::memset(outputs[i], 0, std::size_t{count} * sizeof(float));
        return;
    }
    const std::size_t bytes = std::size_t{count} * sizeof(float);
    // The zones hold their pattern until a plug-in writes into them (and is
    // switched off): they are set again only for a new block length.
    if (armed_frames_ != count) {
        arm_guard_zones(audio_, ins + outs, audio_stride_, count);
        armed_frames_ = count;
    }
    for (std::uint32_t i = 0; i < ins; ++i)
        if (inputs && inputs[i]) std::memcpy(audio_ + std::size_t{i} * audio_stride_, inputs[i], bytes);

    bridge::message& m = call.msg();
    m.command = bridge::command_process;
    m.audio_inputs = ins;
    m.audio_outputs = outs;
    m.audio_stride = audio_stride_;
    m.audio_frames = count;
    block_frames_ = count;
    fault = settle(call.exchange(audio_deadline_ms(count)), m);
    if (fault || m.status != bridge::status_ok) return;
    if (!guard_zones_intact(audio_, ins + outs, audio_stride_, count)) {
        fault = k_fault_wrote_past_buffers;
        armed_frames_ = 0;
        return;
    }
    for (std::uint32_t i = 0; i < outs; ++i)
        if (outputs && outputs[i]) std::memcpy(outputs[i], audio_ + (std::size_t{ins} + i) * audio_stride_, bytes);
}

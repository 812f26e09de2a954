// The component's dispatcher calls to a bridged plug-in: which lane each
// opcode takes, how long it may take, and how its pointer argument crosses.
// Every opcode the component sends is listed; another opcode crosses only
// without a pointer (a pointer we do not know the meaning of is not sent,
// and the call answers 0).
#include <cstring>

#include "../bridge/arrangement_payload.h"
#include "../bridge/message_text.h"
#include "hang_limits.h"
#include "plugin_bridge.h"
#include "plugin_memory.h"
#include "vst.h"

namespace {

struct route {
    bridge::pointer_kind pointer;
    bridge::lane_index lane;
    hang_limit limit;
};

bool known_route(std::int32_t opcode, route& r) {
    using namespace bridge;
    switch (opcode) {
        case effOpen: r = {pointer_none, lane_control, hang_limit::open}; return true;
        case effEditOpen: r = {pointer_window, lane_control, hang_limit::open}; return true;
        case effSetProgramName:
        case effCanDo: r = {pointer_text_in, lane_control, hang_limit::call}; return true;
        case effGetProgramName:
        case effGetParamLabel:
        case effGetParamDisplay:
        case effGetParamName:
        case effGetEffectName:
        case effGetVendorString:
        case effGetProductString: r = {pointer_text_out, lane_control, hang_limit::call}; return true;
        case effEditGetRect: r = {pointer_rect_out, lane_control, hang_limit::call}; return true;
        case effGetChunk: r = {pointer_chunk_out, lane_control, hang_limit::chunk}; return true;
        case effSetChunk: r = {pointer_chunk_in, lane_control, hang_limit::chunk}; return true;
        // Sent by the audio thread around its blocks: they go with the audio,
        // not behind an editor or a chunk on the control lane. A plug-in may
        // take its time with them (a reverb loads its impulse on resume).
        case effSetSampleRate:
        case effSetBlockSize:
        case effMainsChanged: r = {pointer_none, lane_audio, hang_limit::open}; return true;
        // Between those, before a chunk of a new layout; a plug-in may take
        // its time to set up other ports.
        case effSetSpeakerArrangement: r = {pointer_arrangements, lane_audio, hang_limit::open}; return true;
        case effClose:
        case effSetProgram:
        case effGetProgram:
        case effEditClose:
        case effEditIdle:
        case effGetPlugCategory:
        case effGetVendorVersion: r = {pointer_none, lane_control, hang_limit::call}; return true;
        default: return false;
    }
}

static_assert(k_plugin_text_buffer == bridge::k_payload_bytes,
              "a text comes back as large as the buffer the component asks it in");

}  // namespace

std::intptr_t plugin_bridge::dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                                      float opt, std::uint32_t& fault) {
    route r{bridge::pointer_none, bridge::lane_control, hang_limit::call};
    if (!known_route(opcode, r) && ptr) return 0;
    if (r.pointer == bridge::pointer_chunk_in && (value < 0 || value > k_max_plugin_chunk)) return 0;
    if (opcode == effSetSampleRate) sample_rate_ = opt;
    if (opcode == effSetBlockSize && value > 0 && value <= (1 << 24)) told_block_ = static_cast<std::uint32_t>(value);

    bridge_channel::call call(*channel_, r.lane);
    if (!call.usable()) return 0;
    bridge::message& m = call.msg();
    m.command = bridge::command_dispatch;
    m.opcode = opcode;
    m.index = index;
    m.value = value;
    m.opt = opt;
    m.pointer_kind = r.pointer;
    m.payload_size = 0;
    m.handle = 0;

    unique_handle chunk_in;
    switch (r.pointer) {
        case bridge::pointer_text_in:
            bridge::put_text(m, ptr ? static_cast<const char*>(ptr) : "");
            break;
        case bridge::pointer_window:
            m.handle = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(ptr));
            break;
        case bridge::pointer_arrangements:
            bridge::put_arrangements(m, reinterpret_cast<const void*>(value), ptr);
            m.value = 0;
            break;
        case bridge::pointer_chunk_in:
            if (value > 0) {
                const auto size = static_cast<std::size_t>(value);
                chunk_in.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                  static_cast<DWORD>(size), nullptr));
                void* view = chunk_in ? MapViewOfFile(chunk_in.get(), FILE_MAP_WRITE, 0, 0, size) : nullptr;
                if (!view) return 0;
                std::memcpy(view, ptr, size);
                UnmapViewOfFile(view);
                m.handle = process_->give(chunk_in.get());
                if (!m.handle) return 0;
            }
            break;
        default: break;
    }

    const call_outcome outcome = call.exchange(current_limit_ms(r.limit));
    const bool chunk_came = outcome == call_outcome::answered && r.pointer == bridge::pointer_chunk_out && m.handle;
    // The bridge's chunk mapping is ours once it says so, taken even when
    // the reply is of no use, so that its handle is not left open there.
    unique_handle chunk_out = chunk_came ? process_->take(m.handle) : nullptr;
    fault = settle(outcome, m);
    if (fault || outcome != call_outcome::answered || m.status != bridge::status_ok) return 0;

    const auto answer = static_cast<std::intptr_t>(m.answer);
    switch (r.pointer) {
        case bridge::pointer_text_out:
            if (ptr && m.payload_size) {
                const std::size_t n = m.payload_size < bridge::k_payload_bytes ? m.payload_size
                                                                               : bridge::k_payload_bytes;
                std::memcpy(ptr, m.payload, n);
                static_cast<char*>(ptr)[n - 1] = 0;
            }
            break;
        case bridge::pointer_rect_out:
            if (ptr && m.answer_has_data && m.payload_size == sizeof rect_) {
                std::memcpy(&rect_, m.payload, sizeof rect_);
                *static_cast<ERect**>(ptr) = &rect_;
            }
            break;
        case bridge::pointer_chunk_out: {
            if (!ptr) break;
            // As the plug-in would hand it over: its size, and the bytes, or
            // no bytes when it gave none we take (see take_plugin_chunk).
            void* view = nullptr;
            if (chunk_out && m.answer_has_data && answer > 0 && answer <= k_max_plugin_chunk)
                view = MapViewOfFile(chunk_out.get(), FILE_MAP_READ, 0, 0, static_cast<std::size_t>(answer));
            if (chunk_view_) UnmapViewOfFile(chunk_view_);
            chunk_view_ = view;
            chunk_mapping_ = view ? std::move(chunk_out) : nullptr;
            *static_cast<void**>(ptr) = view;
            break;
        }
        default: break;
    }
    return answer;
}

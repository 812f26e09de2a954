// The component's dispatcher calls to a bridged plug-in, by their routes
// (bridge/common/routes.h): the lane each takes, how long it may take, and
// how its pointer argument crosses. An opcode without a route crosses only
// without a pointer (a pointer we do not know the meaning of is not sent,
// and the call answers 0).
#include <cstring>

#include "../common/arrangement_payload.h"
#include "../common/message_text.h"
#include "../common/routes.h"
#include "hang_limits.h"
#include "plugin_bridge.h"
#include "../../vst/plugin_memory.h"
#include "../../vst/vst.h"

namespace {

static_assert(sizeof(VstSpeakerArrangement) == bridge::k_arrangement_bytes, "the arrangement crosses as it is");
static_assert(k_plugin_text_buffer == bridge::k_payload_bytes,
              "a text comes back as large as the buffer the component asks it in");

}  // namespace

std::intptr_t plugin_bridge::dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                                      float opt, std::uint32_t& fault) {
    const bridge::route r = bridge::route_of(bridge::direction::to_plugin, opcode);
    if (!bridge::has_route(bridge::direction::to_plugin, opcode) && ptr) return 0;
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
                {
                    unique_view view = map_view(chunk_in.get(), FILE_MAP_WRITE, size);
                    if (!view) return 0;
                    std::memcpy(view.get(), ptr, size);
                }
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
            unique_view view;
            if (chunk_out && m.answer_has_data && answer > 0 && answer <= k_max_plugin_chunk)
                view = map_view(chunk_out.get(), FILE_MAP_READ, static_cast<std::size_t>(answer));
            *static_cast<void**>(ptr) = view.get();
            chunk_mapping_ = view ? std::move(chunk_out) : nullptr;
            chunk_view_ = std::move(view);
            break;
        }
        default: break;
    }
    return answer;
}

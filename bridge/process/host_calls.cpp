// The plug-in's calls to its host, forwarded to the player, whose component
// answers them (the same host callback a plug-in in the player's process
// gets). Pointer arguments travel as texts; everything else as numbers.
#include <cstring>

#include "../common/routes.h"
#include "plugin_slot.h"

namespace bridge {

namespace {

// A plug-in's vendor and product buffers hold this much by the interface.
constexpr std::size_t k_host_text_buffer = 64;
// canDo words and the like are short; anything longer is cut.
constexpr std::size_t k_host_text_in_limit = 4096;

}  // namespace

std::intptr_t plugin_slot::call_host(AEffect* effect, std::int32_t opcode, std::int32_t index, std::intptr_t value,
                                     void* ptr, float opt) {
    // A player that let go of the plug-in answers nothing: as for no instance.
    if (link_.detached()) return 0;
    bridge_link::host_call call(link_);
    if (!call.usable() || faulted_) return 0;
    message& m = call.msg();
    m.opcode = opcode;
    m.index = index;
    m.value = value;
    m.opt = opt;
    m.answer = 0;
    m.answer_has_data = 0;
    m.status = status_ok;
    m.handle = 0;
    m.payload_size = 0;
    // Only the plug-in's own record stands for its instance. Any other one
    // is answered as for no instance, as in the player's process, and is
    // never read: it may point anywhere.
    m.has_record = effect != nullptr && effect == effect_;
    std::memset(&m.record, 0, sizeof m.record);
    if (m.has_record && !read_image(effect, m.record)) return 0;

    // A pointer crosses as its route says; a null one does not cross (but
    // an answer that is a pointer comes back whatever the argument).
    const pointer_kind routed = route_of(direction::to_host, opcode).pointer;
    const pointer_kind kind = ptr || routed == pointer_text_answer ? routed : pointer_none;
    if (kind == pointer_text_in) {
        const char* text = static_cast<const char*>(ptr);
        std::size_t n = 0;
        plugin_fault fault;
        if (!call_guarded(fault, [&] { n = ::strnlen(text, k_host_text_in_limit - 1); })) {
            note_fault(fault.code);
            return 0;
        }
        std::memcpy(m.payload, text, n);
        m.payload[n] = 0;
        m.payload_size = static_cast<std::uint32_t>(n + 1);
    }
    m.pointer_kind = kind;
    call.exchange();

    std::intptr_t answer = static_cast<std::intptr_t>(m.answer);
    switch (kind) {
        case pointer_text_out: {
            const std::size_t n = m.payload_size && m.payload_size <= k_host_text_buffer ? m.payload_size
                                                                                         : k_host_text_buffer;
            char* out = static_cast<char*>(ptr);
            m.payload[n - 1] = 0;
            plugin_fault fault;
            if (m.payload_size && !call_guarded(fault, [&] { std::memcpy(out, m.payload, n); })) note_fault(fault.code);
            break;
        }
        case pointer_text_answer: {
            if (!m.answer_has_data || !m.payload_size) return 0;
            critical_section_scope guard(directory_lock_);
            const std::size_t n = m.payload_size < sizeof directory_ ? m.payload_size : sizeof directory_;
            std::memcpy(directory_, m.payload, n);
            directory_[n - 1] = 0;
            answer = reinterpret_cast<std::intptr_t>(directory_);
            break;
        }
        default: break;
    }
    // An answer that is an address in the player means nothing here.
    if (opcode == audioMasterGetTime) answer = 0;
    if (opcode == audioMasterSizeWindow) frame_.follow();
    return answer;
}

}  // namespace bridge

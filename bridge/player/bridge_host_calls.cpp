// A bridged plug-in's calls to its host, answered here by the component's
// own host callback with the stand-in record, exactly as for a plug-in in
// this process: canDo texts and the vendor and product strings cross as
// texts, the directory's answer as the text it points to.
#include <cstring>

#include "../common/message_text.h"
#include "../common/routes.h"
#include "../../vst/host_callback.h"
#include "plugin_bridge.h"

namespace {

// What the callee may write into a text buffer of ours: the interface's
// vendor and product buffers hold 64 bytes.
constexpr std::size_t k_text_out = 256;
constexpr std::size_t k_text_in = 4096;

}  // namespace

// The thread that waits for the call the host call came in, or the
// callback lane's thread.
void plugin_bridge::serve_host_call(bridge::message& m) {
    AEffect* caller = nullptr;
    if (m.has_record) {
        mirror(m.record);
        caller = &record_;
    }
    // The pointer crosses as the opcode's route says, or not at all (the
    // plug-in passed none): the message cannot make it anything else.
    const bridge::pointer_kind routed = bridge::route_of(bridge::direction::to_host, m.opcode).pointer;
    const bridge::pointer_kind kind = m.pointer_kind == routed ? routed : bridge::pointer_none;
    char text_in[k_text_in] = {};
    char text_out[k_text_out] = {};
    void* ptr = nullptr;
    if (kind == bridge::pointer_text_in) {
        const char* text = bridge::payload_text(m);
        std::memcpy(text_in, text, ::strnlen(text, k_text_in - 1));
        ptr = text_in;
    } else if (kind == bridge::pointer_text_out) {
        ptr = text_out;
    }

    std::intptr_t answer = host_callback(caller, m.opcode, m.index, static_cast<std::intptr_t>(m.value), ptr, m.opt);

    m.status = bridge::status_ok;
    m.answer_has_data = 0;
    m.payload_size = 0;
    if (kind == bridge::pointer_text_out) {
        bridge::put_text(m, text_out, k_text_out);
    } else if (kind == bridge::pointer_text_answer) {
        if (answer) {
            bridge::put_text(m, reinterpret_cast<const char*>(answer));
            m.answer_has_data = 1;
            answer = 1;
        }
    }
    m.answer = answer;
}

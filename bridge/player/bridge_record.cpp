// The stand-in record's functions: each forwards to the plug-in_bridge
// that owns the record, then raises what the call ended in.
#include <windows.h>

#include "../common/record_image.h"
#include "plugin_bridge.h"

namespace {

plugin_bridge& owner(AEffect* e) { return *static_cast<plugin_bridge*>(e->object); }

// The raise leaves nothing to unwind: each function leaves the bridge
// (leave_use) before it.
// Only at the outermost bridge call of this thread: that one runs inside
// the caller's crash guard with nothing of ours below it. A nested call
// answers 0 and leaves the report to the call around it.
void raise_fault(std::uint32_t code) {
    if (!code || bridge_channel::inside_a_call()) return;
    RaiseException(code, EXCEPTION_NONCONTINUABLE, 0, nullptr);
}

std::intptr_t VSTCALL stand_in_dispatcher(AEffect* e, std::int32_t opcode, std::int32_t index, std::intptr_t value,
                                          void* ptr, float opt) {
    std::uint32_t fault = 0;
    std::intptr_t answer = 0;
    plugin_bridge& bridge = owner(e);
    if (bridge.enter_use()) {
        answer = bridge.dispatch(opcode, index, value, ptr, opt, fault);
        bridge.leave_use();
    }
    raise_fault(fault);
    return answer;
}

void VSTCALL stand_in_process(AEffect* e, float** inputs, float** outputs, std::int32_t frames) {
    std::uint32_t fault = 0;
    plugin_bridge& bridge = owner(e);
    if (bridge.enter_use()) {
        bridge.process(inputs, outputs, frames, fault);
        bridge.leave_use();
    } else {
        bridge.refuse_block();
    }
    raise_fault(fault);
}

void VSTCALL stand_in_set_parameter(AEffect* e, std::int32_t index, float value) {
    std::uint32_t fault = 0;
    plugin_bridge& bridge = owner(e);
    if (bridge.enter_use()) {
        bridge.set_parameter(index, value, fault);
        bridge.leave_use();
    }
    raise_fault(fault);
}

float VSTCALL stand_in_get_parameter(AEffect* e, std::int32_t index) {
    std::uint32_t fault = 0;
    float value = 0.0f;
    plugin_bridge& bridge = owner(e);
    if (bridge.enter_use()) {
        value = bridge.get_parameter(index, fault);
        bridge.leave_use();
    }
    raise_fault(fault);
    return value;
}

}  // namespace

AEffect* plugin_bridge::call_entry() {
    std::uint32_t fault = 0;
    AEffect* record = enter(fault);
    raise_fault(fault);
    return record;
}

void plugin_bridge::mirror(const bridge::record_image& image) {
    bridge::put_image(image, record_);
    record_.dispatcher = image.functions & bridge::function_dispatcher ? stand_in_dispatcher : nullptr;
    record_.setParameter = image.functions & bridge::function_set_parameter ? stand_in_set_parameter : nullptr;
    record_.getParameter = image.functions & bridge::function_get_parameter ? stand_in_get_parameter : nullptr;
    record_.processReplacing = image.functions & bridge::function_process_replacing ? stand_in_process : nullptr;
    // The accumulating and double-precision forms are never called by us.
    record_.process = nullptr;
    record_.processDoubleReplacing = nullptr;
    record_.object = this;
}

#pragma once
// A bare dispatcher call, for a record that has no owning vst yet (inside
// its entry function, which runs guarded as a whole). Everything else goes
// through vst::dispatch.
#include <cstdint>

#include "aeffect.h"

inline std::intptr_t call_dispatcher(AEffect* effect, std::int32_t opcode, std::int32_t index = 0,
                                      std::intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f) {
    if (!effect || !effect->dispatcher) return 0;
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

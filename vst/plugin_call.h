#pragma once
// Every call into a plug-in's dispatcher goes through here.
#include <cstdint>

#include "aeffect.h"

inline std::intptr_t call_dispatcher(AEffect* effect, std::int32_t opcode, std::int32_t index = 0,
                                      std::intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f) {
    if (!effect || !effect->dispatcher) return 0;
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

#pragma once
// The function every plug-in gets as its audioMasterCallback.
#include "aeffect.h"

std::intptr_t VSTCALL host_callback(AEffect* effect, std::int32_t opcode, std::int32_t index, std::intptr_t value,
                                    void* ptr, float opt);

#pragma once
// The function every plug-in gets as its audioMasterCallback.
#include <string>

#include "../plugin_api/aeffect.h"

std::intptr_t VSTCALL host_callback(AEffect* effect, std::int32_t opcode, std::int32_t index, std::intptr_t value,
                                    void* ptr, float opt);

// Whether the calling thread is inside host_callback now (a plug-in called
// us, on a thread of whatever kind).
bool inside_host_callback();

// What the plug-in is told when it asks for its directory.
std::string plugin_directory_answer(const std::string& module_path);

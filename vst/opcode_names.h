#pragma once
// Names of the calls we make into a plug-in, for the user's messages.
#include <cstdint>

inline constexpr char k_call_entry_function[] = "its entry function";
inline constexpr char k_call_process_replacing[] = "processReplacing";
inline constexpr char k_call_set_parameter[] = "setParameter";
inline constexpr char k_call_get_parameter[] = "getParameter";

// "effOpen", "effEditIdle", ...; "the dispatcher" for an opcode we never send.
const char* opcode_name(std::int32_t opcode);

#pragma once
// Names of the calls we make into a plug-in, for the user's messages.
#include <cstdint>

inline constexpr char k_call_entry_function[] = "its entry function";
inline constexpr char k_call_process_replacing[] = "processReplacing";
inline constexpr char k_call_set_parameter[] = "setParameter";
inline constexpr char k_call_get_parameter[] = "getParameter";
// What a fault in the plug-in's own windows is called: the system called
// them, not we.
inline constexpr char k_call_editor_window[] = "its editor window";
inline constexpr char k_call_editor_timer[] = "its editor's timer";
// A thread the plug-in started itself (only a process of its own can
// survive a fault there to say so).
inline constexpr char k_call_own_thread[] = "a thread of its own";

// "effOpen", "effEditIdle", ...; "the dispatcher" for an opcode we never send.
const char* opcode_name(std::int32_t opcode);

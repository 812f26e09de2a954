#pragma once
// The structured exceptions a bridged plug-in's stand-in record raises
// inside the crash guard when the plug-in's process cannot answer, so that
// the guard and the fault message treat them as any other fault.
#include <cstdint>

// The process ended during a call, or before it.
constexpr std::uint32_t k_fault_process_ended = 0xE0B20001;
// A call missed its deadline; the process was ended.
constexpr std::uint32_t k_fault_process_hung = 0xE0B20002;

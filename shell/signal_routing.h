#pragma once
// Turns the runtime's interrupt, termination, break and abort signals into a
// structured exception the host's crash handling can report, and keeps the
// runtime from showing its own abort box.
inline constexpr unsigned long k_signal_exception_code = 0x6F8E1DC8;

void route_runtime_signals();

#pragma once
// The structured exception a component raises for the runtime's interrupt,
// termination, break and abort signals, so that the host's crash handling
// can tell them from a crash. Its single argument is the signal number.
inline constexpr unsigned long k_signal_exception_code = 0x6F8E1DC8;

#pragma once
// Every call into a plug-in's code runs inside a structured-exception frame
// of ours. A plug-in that faults there (access violation, illegal
// instruction, division by zero, a C++ exception thrown across the
// interface, an abort) does not take the player down: the call is abandoned
// and the caller is told, so the plug-in can be switched off.
//
// The frame is a real one in the system's exception dispatch, not a
// vectored handler: a plug-in that raises and handles exceptions of its own
// (copy protection does) still sees them first, and only what would
// otherwise end the process reaches us.
#include <cstdint>
#include <type_traits>

#include "fp_state.h"

struct plugin_fault {
    std::uint32_t code = 0;  // the structured exception's code
};

// Not an exception: a plug-in that wrote past the buffers it was given,
// seen after the call. Named like the faults, in the error range of our
// own codes.
inline constexpr std::uint32_t k_fault_wrote_past_buffers = 0xE0B0F001u;

// Whether an exception that reached our frame ends the call.
bool is_plugin_fault(std::uint32_t code);
// "access violation", "illegal instruction", ... for the user's message.
const char* describe_fault(std::uint32_t code);

// `before`: the floating-point control state before the call (the caller
// has just read it), which a fault's recovery puts back.
extern "C" int orvane_guarded_invoke(void (*call)(void*), void* context, plugin_fault* fault, const fp_state* before);

// What a thread needs before its first call into a plug-in: room kept at
// the bottom of its stack for handling a stack overflow there (the system's
// few kilobytes are used up by the dispatch before our handler is reached).
// Once per thread (host_fp_scope knows the first call).
void prepare_thread_for_faults();

// What the thread needs after a contained fault: a stack overflow used up
// the stack's guard page, and without it the next overflow on this thread
// could not be contained.
void recover_from_fault(const plugin_fault& fault);

// Runs f(); answers false, with `fault` filled in, when the call faulted.
// The caller's floating-point control state is back afterwards either way.
// Any thread. Nothing of f's own frame may need unwinding: keep f a plain
// call into the plug-in.
template <class F>
bool call_guarded(plugin_fault& fault, F&& f) {
    using callable = std::remove_reference_t<F>;
    host_fp_scope fp;
    if (orvane_guarded_invoke([](void* p) { (*static_cast<callable*>(p))(); }, &f, &fault, &fp.before())) return true;
    recover_from_fault(fault);
    return false;
}

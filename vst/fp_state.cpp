#include "fp_state.h"

#include <windows.h>

namespace {

// Which host call a thread is inside, for the callback: a pointer to that
// call's saved state in a thread slot of the system's own (a slot read
// costs a few nanoseconds on the audio path; the compiler's thread-local
// variables cost a function call each here).
const DWORD g_host_state_slot = TlsAlloc();

}  // namespace

fp_state fp_state::now() {
    fp_state s{};
    asm volatile("stmxcsr %0" : "=m"(s.mxcsr));
    asm volatile("fnstcw %0" : "=m"(s.x87_control));
    return s;
}

void fp_state::apply() const {
    asm volatile("ldmxcsr %0" : : "m"(mxcsr));
    asm volatile("fldcw %0" : : "m"(x87_control));
}

host_fp_scope::host_fp_scope() : saved_(fp_state::now()), outer_(TlsGetValue(g_host_state_slot)) {
    TlsSetValue(g_host_state_slot, &saved_);
}

host_fp_scope::~host_fp_scope() {
    saved_.apply();
    TlsSetValue(g_host_state_slot, outer_);
}

callback_fp_scope::callback_fp_scope() : plugin_(fp_state::now()) {
    const auto* host = static_cast<const fp_state*>(TlsGetValue(g_host_state_slot));
    (host ? *host : fp_state::thread_default()).apply();
}

callback_fp_scope::~callback_fp_scope() { plugin_.apply(); }

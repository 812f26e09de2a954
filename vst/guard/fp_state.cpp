#include "fp_state.h"

#include "../../Helpers/thread_slot.h"
#include "plugin_guard.h"

namespace {

// Per thread: the saved state of the innermost host call into a plug-in;
// `k_between_calls` once the thread was prepared for plug-in calls and is
// in none; null before its first.
const thread_slot g_host_call;
const fp_state k_between_calls = fp_state::thread_default();

constexpr std::uint32_t k_mxcsr_status = 0x3Fu;  // sticky exception flags, not control

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

host_fp_scope::host_fp_scope() : saved_(fp_state::now()), outer_(g_host_call.get()) {
    if (!outer_) {
        prepare_thread_for_faults();
        outer_ = const_cast<fp_state*>(&k_between_calls);
    }
    g_host_call.set(&saved_);
}

host_fp_scope::~host_fp_scope() {
    // Loading the control registers costs more than looking: most plug-ins
    // leave them as they found them.
    const fp_state now = fp_state::now();
    if (((now.mxcsr ^ saved_.mxcsr) & ~k_mxcsr_status) != 0 || now.x87_control != saved_.x87_control)
        saved_.apply();
    g_host_call.set(outer_);
}

callback_fp_scope::callback_fp_scope() : plugin_(fp_state::now()) {
    const auto* host = static_cast<const fp_state*>(g_host_call.get());
    (host ? *host : fp_state::thread_default()).apply();
}

callback_fp_scope::~callback_fp_scope() { plugin_.apply(); }

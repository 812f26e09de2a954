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

namespace {

// Loading the control registers costs more than looking: most plug-ins
// leave them as they found them, and most callbacks come with the host's.
void apply_if_changed(const fp_state& wanted, const fp_state& now) {
    if (((now.mxcsr ^ wanted.mxcsr) & ~k_mxcsr_status) != 0 || now.x87_control != wanted.x87_control)
        wanted.apply();
}

}  // namespace

host_fp_scope::~host_fp_scope() {
    apply_if_changed(saved_, fp_state::now());
    g_host_call.set(outer_);
}

callback_fp_scope::callback_fp_scope() : plugin_(fp_state::now()) {
    const auto* host = static_cast<const fp_state*>(g_host_call.get());
    apply_if_changed(host ? *host : fp_state::thread_default(), plugin_);
}

// The plug-in gets back its words exactly, sticky exception flags too.
callback_fp_scope::~callback_fp_scope() {
    if (!(fp_state::now() == plugin_)) plugin_.apply();
}

#pragma once
// The floating-point control state: SSE's MXCSR (rounding, flush-to-zero,
// denormals-are-zero, which exceptions are masked) and the x87 control word.
// Plug-ins change it and leave it changed (some frameworks unmask
// exceptions at load, some set flush-to-zero in every process call), and
// it belongs to the thread: left alone, one plug-in's state rules the next
// plug-in and the player's own code. Every call into a plug-in therefore
// runs inside a host_fp_scope, and the host callback inside a
// callback_fp_scope.
#include <cstdint>

struct fp_state {
    std::uint32_t mxcsr;
    std::uint16_t x87_control;

    static fp_state now();
    void apply() const;
    bool operator==(const fp_state& o) const { return mxcsr == o.mxcsr && x87_control == o.x87_control; }
    // What a new thread starts with: every exception masked, round to
    // nearest, no flush-to-zero.
    static fp_state thread_default() { return {0x1F80u, 0x027Fu}; }
};

// Around a call into a plug-in: remembers the caller's state, which the
// host callback applies while the plug-in calls back, and puts it back when
// the call has returned or faulted. The first on a thread prepares the
// thread for faults (plugin_guard.h). Any thread.
class host_fp_scope {
public:
    host_fp_scope();
    ~host_fp_scope();
    host_fp_scope(const host_fp_scope&) = delete;
    host_fp_scope& operator=(const host_fp_scope&) = delete;
    const fp_state& before() const { return saved_; }

private:
    fp_state saved_;
    void* outer_;
};

// Around the host callback: our code runs with the state of the host call
// the plug-in is inside (on a plug-in's own thread: a new thread's state),
// and the plug-in gets its own state back when the callback returns.
class callback_fp_scope {
public:
    callback_fp_scope();
    ~callback_fp_scope();
    callback_fp_scope(const callback_fp_scope&) = delete;
    callback_fp_scope& operator=(const callback_fp_scope&) = delete;

private:
    fp_state plugin_;
};

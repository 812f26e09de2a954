#pragma once
// A critical section and its scope guard.
#include <windows.h>

#include <cstdint>

#include "lock_scope.h"

class critical_section {
public:
    critical_section() { InitializeCriticalSection(&cs_); }
    ~critical_section() { DeleteCriticalSection(&cs_); }
    critical_section(const critical_section&) = delete;
    critical_section& operator=(const critical_section&) = delete;
    void enter() { EnterCriticalSection(&cs_); }
    // Without waiting: whether the section is now ours (also when it was).
    bool try_enter() { return TryEnterCriticalSection(&cs_) != FALSE; }
    void leave() { LeaveCriticalSection(&cs_); }
    // Whether the calling thread holds it now (for code that must not wait
    // on anything slow while it does).
    bool held_by_this_thread() const {
        return reinterpret_cast<std::uintptr_t>(cs_.OwningThread) == static_cast<std::uintptr_t>(GetCurrentThreadId());
    }

private:
    CRITICAL_SECTION cs_;
};

using critical_section_scope = lock_scope<critical_section>;

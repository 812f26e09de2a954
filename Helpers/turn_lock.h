#pragma once
// A lock for threads that take turns at something one thread does nearly
// always alone (a plug-in's audio): taken and given back with one atomic
// operation each, inline, where a critical section is a call into the
// system's library each way. Only a thread that finds it held waits, on a
// semaphore made the first time one has to. The owner may take it again
// (counted), as with a critical section.
#include <windows.h>

#include <atomic>
#include <climits>

#include "lock_scope.h"
#include "thread_slot.h"

class turn_lock {
public:
    turn_lock() = default;
    ~turn_lock() {
        const HANDLE turns = turns_.load();
        if (turns && turns != k_none) CloseHandle(turns);
    }
    turn_lock(const turn_lock&) = delete;
    turn_lock& operator=(const turn_lock&) = delete;

    void enter() {
        void* const me = current_teb();
        if (owner_.load(std::memory_order_relaxed) == me) {
            ++depth_;
            return;
        }
        // Counts the holder and every waiter: more than none before us
        // means a turn to wait for, handed over by the one before.
        if (wanted_.fetch_add(1, std::memory_order_acquire) > 0) wait_for_turn();
        owner_.store(me, std::memory_order_relaxed);
        depth_ = 1;
    }
    // Without waiting: whether the lock is now ours (also when it was).
    bool try_enter() {
        void* const me = current_teb();
        if (owner_.load(std::memory_order_relaxed) == me) {
            ++depth_;
            return true;
        }
        long none = 0;
        if (!wanted_.compare_exchange_strong(none, 1, std::memory_order_acquire)) return false;
        owner_.store(me, std::memory_order_relaxed);
        depth_ = 1;
        return true;
    }
    void leave() {
        if (--depth_ > 0) return;
        owner_.store(nullptr, std::memory_order_relaxed);
        if (wanted_.fetch_sub(1, std::memory_order_release) > 1) hand_over_turn();
    }
    bool held_by_this_thread() const { return owner_.load(std::memory_order_relaxed) == current_teb(); }

private:
    // The semaphore is made the first time a thread has to wait (making it
    // is a call into the system that most locks never need); without one
    // (the system had no handle left) a waiter looks for its turn every
    // millisecond instead.
    // Once making it failed, every thread does without it for good, so
    // that no turn is handed over one way and waited for the other.
    HANDLE turns() {
        HANDLE made = turns_.load(std::memory_order_acquire);
        if (!made) {
            HANDLE fresh = CreateSemaphoreW(nullptr, 0, LONG_MAX, nullptr);
            HANDLE wanted = fresh ? fresh : k_none;
            if (turns_.compare_exchange_strong(made, wanted, std::memory_order_acq_rel)) made = wanted;
            else if (fresh) CloseHandle(fresh);  // another thread's came first
        }
        return made == k_none ? nullptr : made;
    }
    void wait_for_turn() {
        if (HANDLE turns = this->turns()) {
            WaitForSingleObject(turns, INFINITE);
            return;
        }
        for (;;) {
            long tokens = spare_turns_.load(std::memory_order_acquire);
            if (tokens > 0 && spare_turns_.compare_exchange_weak(tokens, tokens - 1, std::memory_order_acquire))
                return;
            Sleep(1);
        }
    }
    void hand_over_turn() {
        if (HANDLE turns = this->turns()) ReleaseSemaphore(turns, 1, nullptr);
        else spare_turns_.fetch_add(1, std::memory_order_release);
    }

    static inline const HANDLE k_none = INVALID_HANDLE_VALUE;
    std::atomic<HANDLE> turns_{nullptr};  // null until needed, k_none when it could not be made
    std::atomic<long> wanted_{0};
    std::atomic<long> spare_turns_{0};
    std::atomic<void*> owner_{nullptr};
    long depth_ = 0;  // the owner's alone
};

using turn_scope = lock_scope<turn_lock>;

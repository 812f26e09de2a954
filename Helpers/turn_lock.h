#pragma once
// A lock for threads that take turns at something one thread does nearly
// always alone (a plug-in's audio): taken and given back with one atomic
// operation each and no call into the system, which a critical section
// makes even when no other thread wants it. Only a thread that finds it
// held waits, on a semaphore. The owner may take it again (counted), as
// with a critical section.
#include <windows.h>

#include <atomic>
#include <climits>

#include "thread_slot.h"
#include "win32_handles.h"

class turn_lock {
public:
    turn_lock() : turns_(CreateSemaphoreW(nullptr, 0, LONG_MAX, nullptr)) {}
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
    // Without a semaphore (the system had no handle left) a waiter looks
    // for its turn every millisecond instead.
    void wait_for_turn() {
        if (turns_) {
            WaitForSingleObject(turns_.get(), INFINITE);
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
        if (turns_) ReleaseSemaphore(turns_.get(), 1, nullptr);
        else spare_turns_.fetch_add(1, std::memory_order_release);
    }

    unique_handle turns_;
    std::atomic<long> wanted_{0};
    std::atomic<long> spare_turns_{0};
    std::atomic<void*> owner_{nullptr};
    long depth_ = 0;  // the owner's alone
};

class turn_scope {
public:
    explicit turn_scope(turn_lock& lock) : lock_(lock) { lock_.enter(); }
    ~turn_scope() { lock_.leave(); }
    turn_scope(const turn_scope&) = delete;
    turn_scope& operator=(const turn_scope&) = delete;

private:
    turn_lock& lock_;
};

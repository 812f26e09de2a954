#pragma once
// The host's main-thread callback queue. Any thread may add; the stand-in's
// main thread runs what is queued when it pumps.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

#include "../host/main_thread.h"

class main_thread_queue : public main_thread_callback_manager {
public:
    bool query(service_base*& out, const GUID& guid) override {
        return answer_query<main_thread_queue, main_thread_callback_manager>(this, out, guid);
    }
    void add_callback(main_thread_callback* callback) override;

    // Runs everything queued so far, and what those runs queue; answers how
    // many callbacks ran. Main thread only.
    std::size_t pump();
    // Waits up to `timeout` for something to be queued, then pumps.
    std::size_t pump_wait(std::chrono::milliseconds timeout);
    std::size_t pending() const;
    // The next add throws a host_exception with `message` instead: a queue
    // that cannot take more work.
    void fail_next(std::string message);
    // Called, on the adding thread, after each add: a window's message loop
    // uses it to learn that work is waiting.
    void set_wake(std::function<void()> wake);

private:
    mutable std::mutex mutex_;
    std::condition_variable queued_;
    std::deque<service_ptr_t<main_thread_callback>> items_;
    std::function<void()> wake_;
    std::string failure_;
};

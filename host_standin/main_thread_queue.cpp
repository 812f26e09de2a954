#include "main_thread_queue.h"

#include <utility>

#include "../host/exceptions.h"

void main_thread_queue::add_callback(main_thread_callback* callback) {
    std::function<void()> wake;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!failure_.empty()) throw host_exception(std::exchange(failure_, std::string()));
        items_.emplace_back(callback);
        wake = wake_;
    }
    queued_.notify_all();
    if (wake) wake();
}

void main_thread_queue::set_wake(std::function<void()> wake) {
    std::lock_guard<std::mutex> lock(mutex_);
    wake_ = std::move(wake);
}

std::size_t main_thread_queue::pump() {
    std::size_t ran = 0;
    for (;;) {
        service_ptr_t<main_thread_callback> next;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (items_.empty()) return ran;
            next = std::move(items_.front());
            items_.pop_front();
        }
        next->run();
        ++ran;
    }
}

std::size_t main_thread_queue::pump_wait(std::chrono::milliseconds timeout) {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        queued_.wait_for(lock, timeout, [this] { return !items_.empty(); });
    }
    return pump();
}

std::size_t main_thread_queue::pending() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return items_.size();
}

void main_thread_queue::fail_next(std::string message) {
    std::lock_guard<std::mutex> lock(mutex_);
    failure_ = std::move(message);
}

#include "watchdog.h"

#include <cstdio>
#include <stdexcept>

#include "exit_cleanup.h"

watchdog::watchdog(unsigned seconds, std::function<std::string(unsigned)> report)
    : seconds_(seconds), report_(std::move(report)), last_progress_(GetTickCount()),
      stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    if (!stop_) throw std::runtime_error("cannot make the watchdog's event");
    thread_.reset(CreateThread(nullptr, 0, &watchdog::run, this, 0, nullptr));
    if (!thread_) throw std::runtime_error("cannot start the watchdog's thread");
}

watchdog::~watchdog() {
    SetEvent(stop_.get());
    WaitForSingleObject(thread_.get(), INFINITE);
}

DWORD WINAPI watchdog::run(void* self) {
    auto& w = *static_cast<watchdog*>(self);
    const std::uint32_t limit_ms = w.seconds_ * 1000u;
    // Looks twice a second: the report comes at most half a second late.
    while (WaitForSingleObject(w.stop_.get(), 500) == WAIT_TIMEOUT) {
        const std::uint32_t quiet = GetTickCount() - w.last_progress_.load(std::memory_order_relaxed);
        if (quiet < limit_ms) continue;
        std::string text;
        try {
            text = w.report_(w.seconds_);
        } catch (const std::exception& e) {
            text = "nothing happened for " + seconds_text(w.seconds_) + " (" + e.what() + ")";
        }
        end_now(text, k_stalled_exit_code);
    }
    return 0;
}

std::string seconds_text(double seconds) {
    char text[32];
    if (seconds == static_cast<double>(static_cast<long long>(seconds)))
        std::snprintf(text, sizeof text, "%lld s", static_cast<long long>(seconds));
    else
        std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

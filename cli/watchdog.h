#pragma once
// Ends the run when the work it watches makes no progress for too long. A
// plug-in that never returns cannot be interrupted in-process; all the tool
// can do is say where it is stuck and stop, removing what it made, rather
// than wait forever. The report is made on the watchdog's own thread.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "../Helpers/win32_handles.h"

class watchdog {
public:
    // After `seconds` without progress: end_now(report(seconds), k_stalled_exit_code).
    watchdog(unsigned seconds, std::function<std::string(unsigned)> report);
    ~watchdog();
    watchdog(const watchdog&) = delete;
    watchdog& operator=(const watchdog&) = delete;

    // Any thread: the work went on.
    void progress() { last_progress_.store(GetTickCount(), std::memory_order_relaxed); }

private:
    static DWORD WINAPI run(void* self);

    unsigned seconds_;
    std::function<std::string(unsigned)> report_;
    std::atomic<std::uint32_t> last_progress_;
    unique_handle stop_;
    unique_handle thread_;
};

// A duration as the report gives it: "30 s", "2.5 s".
std::string seconds_text(double seconds);

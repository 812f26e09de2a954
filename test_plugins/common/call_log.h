#pragma once
// What a test plug-in DLL records (one line per call it receives), in memory
// that every process loading the DLL for one test run shares: the test
// itself, and a bridge process hosting the plug-in for it. A run is named by
// ORVANE_TEST_SESSION in the environment, which the test sets and the
// bridge inherits; without it each process has a log of its own.
//
// The same memory carries a question for the host: the test writes it, and
// a dispatcher call (effVendorSpecific, index k_ask_host) makes the plug-in
// ask it, from the calling thread or from a thread of its own, and write the
// answer back. So a test asks the host as the plug-in, wherever it runs.
#include <windows.h>

#include <cstdint>
#include <string>

constexpr std::int32_t k_effect_vendor_specific = 50;
constexpr std::int32_t k_ask_host = 0x4F727651;  // "OrvQ"
// effVendorSpecific with this index, the parameter as value and its new
// value as opt: a plug-in that knows it changes the parameter as its editor
// would, and tells the host (audioMasterAutomate).
constexpr std::int32_t k_edit_parameter = 0x4F727645;  // "OrvE"

// How a plug-in logs bytes it was handed: their count and this hash.
inline std::uint32_t log_hash(const void* data, std::size_t size) {
    std::uint32_t h = 2166136261u;
    for (std::size_t i = 0; i < size; ++i) h = (h ^ static_cast<const unsigned char*>(data)[i]) * 16777619u;
    return h;
}

struct host_question {
    std::int32_t opcode;
    std::int32_t index;
    std::int64_t value;
    float opt;
    std::int32_t from_own_thread;  // ask from a thread the plug-in starts (and waits for)
    std::int32_t pointer;          // 0 none, 1 `text` handed in, 2 a 256-byte buffer to fill, 3 the answer points to a text
    std::int32_t reserved;
    char text[256];
    std::int64_t answer;
    char answer_text[512];         // the buffer after the call, or the text the answer points to
};

struct call_log_area {
    volatile LONG lock;
    std::uint32_t length;
    std::uint32_t dropped;
    std::uint32_t reserved;
    host_question question;
    char text[4 * 1024 * 1024];
};

// The log of the DLL named `dll_name` (file name without folder and
// extension) for this run; created on first use, kept for the process's
// life. Null when it cannot be mapped.
call_log_area* open_call_log(const std::wstring& dll_name);

class call_log_lock {
public:
    // A process ended while it held the lock (a plug-in that was ended in
    // the middle of a call) leaves it held: after a while it is taken anyway.
    explicit call_log_lock(call_log_area& area) : area_(area) {
        const ULONGLONG give_up = GetTickCount64() + 2000;
        while (InterlockedCompareExchange(&area_.lock, 1, 0) != 0 && GetTickCount64() < give_up) Sleep(0);
    }
    ~call_log_lock() { InterlockedExchange(&area_.lock, 0); }
    call_log_lock(const call_log_lock&) = delete;
    call_log_lock& operator=(const call_log_lock&) = delete;

private:
    call_log_area& area_;
};

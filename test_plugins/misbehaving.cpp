// A plug-in that misbehaves where no fault shows: built once per kind of
// misbehaviour (MISBEHAVIOUR), each a DLL of its own. Otherwise it passes
// its input through.
#include <windows.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <limits>

#include "common/test_plugin.h"

#define FP_FLUSH 1        // processReplacing sets flush-to-zero, denormals-are-zero, round toward zero
#define FP_UNMASK 2       // the entry function and processReplacing unmask floating-point exceptions,
                          // and processReplacing then asks for a window size
#define LATE_CALLBACKS 3  // a thread of its own goes on calling back after effClose
#define IDLE_RECURSION 4  // asks for idle in processReplacing and again in effEditIdle
#define NOT_FINITE 5      // puts out NaN, -NaN, infinities and 1e30
#define EXIT_THREAD 6     // ends the calling thread in its third processReplacing
#define STRAY_THREAD 7    // a thread of its own runs its code for 1.5 s after effClose, calling back now and then

namespace {

// MXCSR: every exception masked is 0x1F80; flush-to-zero 0x8000,
// denormals-are-zero 0x0040, round toward zero 0x6000.
constexpr std::uint32_t k_flushing_mxcsr = 0x1F80u | 0x8000u | 0x0040u | 0x6000u;
// Invalid operation, division by zero and overflow unmasked, as plug-ins of
// some frameworks leave it; the x87 control word likewise.
constexpr std::uint32_t k_unmasked_mxcsr = 0x1900u;
constexpr std::uint16_t k_unmasked_x87 = 0x0272u;

void set_mxcsr(std::uint32_t value) { asm volatile("ldmxcsr %0" : : "m"(value)); }
void set_x87_control(std::uint16_t value) { asm volatile("fldcw %0" : : "m"(value)); }

// What the late callbacks saw once the instance was closed.
std::atomic<int> g_late_calls{0};
std::atomic<std::intptr_t> g_late_nonzero{0};  // answers other than "no instance"
std::atomic<bool> g_stop{false};
std::atomic<bool> g_closed{false};
std::atomic<std::uint32_t> g_closed_at{0};
// The stray thread: its calls after effClose, and whether it ran to its end.
std::atomic<int> g_stray_calls_after_close{0};
std::atomic<bool> g_stray_done{false};
std::atomic<bool> g_stray_started{false};
constexpr DWORD k_stray_after_close_ms = 1500;
struct stray_start {
    AEffect* record;
    audioMasterCallback host;
};

// Idle: how deep the calls went, and on which thread effEditIdle came.
std::atomic<int> g_idle_depth{0};
std::atomic<int> g_deepest_idle{0};
std::atomic<int> g_edit_idles{0};
std::atomic<int> g_edit_idles_in_audio{0};
thread_local bool t_in_process = false;

class misbehaving final : public test_plugin {
public:
    explicit misbehaving(audioMasterCallback host)
        : test_plugin(host, {0x4F4D6973 /* OMis */, 2, 2, 1, effFlagsCanReplacing | effFlagsHasEditor, 1,
                             "Misbehaving", "Orvane Labs"}) {}
    // The instance goes; the thread it started does not.
    ~misbehaving() override {
        if (worker_) CloseHandle(worker_);
    }

    std::intptr_t dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                           float opt) override {
        if (MISBEHAVIOUR == LATE_CALLBACKS && opcode == effOpen) start_worker();
        if (MISBEHAVIOUR == LATE_CALLBACKS && opcode == effClose) g_closed = true;
        if (MISBEHAVIOUR == STRAY_THREAD && opcode == effOpen) start_stray();
        if (MISBEHAVIOUR == STRAY_THREAD && opcode == effClose) {
            g_closed_at = GetTickCount();
            g_closed = true;
        }
        if (MISBEHAVIOUR == IDLE_RECURSION && opcode == effEditIdle) {
            ++g_edit_idles;
            if (t_in_process) ++g_edit_idles_in_audio;
            ask_for_idle();
        }
        return test_plugin::dispatch(opcode, index, value, ptr, opt);
    }

    void process(float** in, float** out, std::int32_t frames) override {
        ++blocks_;
        if (MISBEHAVIOUR == FP_FLUSH) set_mxcsr(k_flushing_mxcsr);
        if (MISBEHAVIOUR == FP_UNMASK) {
            set_mxcsr(k_unmasked_mxcsr);
            set_x87_control(k_unmasked_x87);
            call_host(audioMasterSizeWindow, 100, 100);
        }
        if (MISBEHAVIOUR == EXIT_THREAD && blocks_ == 3) ExitThread(0);
        if (MISBEHAVIOUR == IDLE_RECURSION) {
            t_in_process = true;
            ask_for_idle();
            t_in_process = false;
        }
        for (int c = 0; c < 2; ++c)
            for (std::int32_t i = 0; i < frames; ++i) out[c][i] = in[c][i];
        if (MISBEHAVIOUR == NOT_FINITE && frames >= 5) {
            const float nan = std::numeric_limits<float>::quiet_NaN();
            const float odd[5] = {nan, -nan, std::numeric_limits<float>::infinity(),
                                  -std::numeric_limits<float>::infinity(), 1e30f};
            for (int i = 0; i < 5; ++i) out[0][i] = odd[i];
        }
    }

private:
    void ask_for_idle() {
        const int depth = ++g_idle_depth;
        if (depth > g_deepest_idle) g_deepest_idle = depth;
        // A plug-in that got no answer in a thousand levels would be gone.
        if (depth < 1000) call_host(audioMasterIdle);
        --g_idle_depth;
    }

    // The thread is running when effOpen returns, as a worker that a
    // plug-in waits for at its start is.
    void start_stray() {
        CloseHandle(CreateThread(nullptr, 0, &misbehaving::stray, new stray_start{record(), host_}, 0, nullptr));
        for (int i = 0; i < 2000 && !g_stray_started; ++i) Sleep(1);
    }

    // Runs on in this DLL's code well after the host closed the instance.
    static DWORD WINAPI stray(void* what) {
        const stray_start s = *static_cast<stray_start*>(what);
        delete static_cast<stray_start*>(what);
        g_stray_started = true;
        for (;;) {
            const bool closed = g_closed.load();
            if (closed && GetTickCount() - g_closed_at.load() > k_stray_after_close_ms) break;
            s.host(s.record, audioMasterVersion, 0, 0, nullptr, 0.0f);
            if (closed) ++g_stray_calls_after_close;
            Sleep(5);
        }
        g_stray_done = true;
        return 0;
    }

    void start_worker() {
        worker_ = CreateThread(nullptr, 0, &misbehaving::late_calls, this, 0, nullptr);
    }

    // Calls back with the instance's record, as a worker thread of a real
    // plug-in does, for a while after the host has closed the instance and
    // effClose has deleted it: only the record's address is used then.
    static DWORD WINAPI late_calls(void* self) {
        auto* plugin = static_cast<misbehaving*>(self);
        AEffect* const record = plugin->record();
        const audioMasterCallback host = plugin->host_;
        int after_close = 0;
        while (!g_stop && after_close < 200) {
            const bool was_closed = g_closed.load();
            char text[256] = {};
            const std::intptr_t answers[] = {
                host(record, audioMasterCurrentId, 0, 0, nullptr, 0.0f),
                host(record, audioMasterGetDirectory, 0, 0, nullptr, 0.0f),
                host(record, audioMasterSizeWindow, 300, 200, nullptr, 0.0f),
                host(record, audioMasterAutomate, 0, 0, nullptr, 0.5f),
                host(record, audioMasterIdle, 0, 0, nullptr, 0.0f),
                host(record, audioMasterGetVendorString, 0, 0, text, 0.0f) - 1,
            };
            if (was_closed) {
                ++after_close;
                ++g_late_calls;
                for (std::intptr_t a : answers)
                    if (a != 0) g_late_nonzero = a;
            }
            Sleep(0);
        }
        return 0;
    }

    int blocks_ = 0;
    HANDLE worker_ = nullptr;
};

}  // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    if (MISBEHAVIOUR == FP_UNMASK) {
        set_mxcsr(k_unmasked_mxcsr);
        set_x87_control(k_unmasked_x87);
    }
    return (new misbehaving(host))->record();
}

TEST_PLUGIN_EXPORT int misbehaving_late_calls() { return g_late_calls.load(); }
TEST_PLUGIN_EXPORT std::intptr_t misbehaving_late_nonzero_answer() { return g_late_nonzero.load(); }
TEST_PLUGIN_EXPORT void misbehaving_stop() { g_stop = true; }
TEST_PLUGIN_EXPORT int misbehaving_deepest_idle() { return g_deepest_idle.load(); }
TEST_PLUGIN_EXPORT int misbehaving_edit_idles() { return g_edit_idles.load(); }
TEST_PLUGIN_EXPORT int misbehaving_edit_idles_in_audio() { return g_edit_idles_in_audio.load(); }
TEST_PLUGIN_EXPORT int misbehaving_stray_calls_after_close() { return g_stray_calls_after_close.load(); }
TEST_PLUGIN_EXPORT int misbehaving_stray_done() { return g_stray_done.load() ? 1 : 0; }

// A plug-in that faults on demand: built once per place of the fault
// (FAULT_AT), each a DLL of its own. Until it faults it halves its input, so
// processed and unprocessed audio are told apart.
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "common/test_plugin.h"

#define FAULT_ENTRY 1
#define FAULT_OPEN 2
#define FAULT_PROCESS 3
#define FAULT_GET_CHUNK 4
#define FAULT_SET_PARAMETER 5
#define FAULT_EDIT_OPEN 6
#define FAULT_THROW 7
// Not a fault: a throw that the plug-in catches itself, in every block.
#define FAULT_CAUGHT 8
#define FAULT_STACK 9    // overflows its stack
#define FAULT_OVERRUN 10 // writes 64 floats past the end of each output
// Kinds that would take the player down with them, for plug-ins in a
// process of their own only: the process ends, a call never returns, the
// plug-in writes past its buffers or over its heap.
#define FAULT_EXIT 11
#define FAULT_LOOP_PROCESS 12
#define FAULT_LOOP_OPEN 13
#define FAULT_SCRIBBLE 14
#define FAULT_HEAP 15
#define FAULT_EDIT_IDLE 16
// Its editor's own window faults when its timer fires, called by the
// system's message dispatch rather than by the host.
#define FAULT_EDITOR_TIMER 17
// Faults in effEditClose, before it destroys the window its editor made.
#define FAULT_EDIT_CLOSE 18
// Endless loops that keep calling the host every 50 ms: nested host calls
// must not keep a hung call alive. Own process only.
#define FAULT_LOOP_HOST_PROCESS 19
#define FAULT_LOOP_HOST_EDIT_OPEN 20
// Endless loops where a state is asked for or given, and in setParameter.
#define FAULT_LOOP_GET_CHUNK 21
#define FAULT_LOOP_SET_CHUNK 22
#define FAULT_LOOP_SET_PARAMETER 23
// While it is being checked: ends its process in its entry function, or
// never returns from the loader (as a DLL that waits for an answer to a
// window of its own while it loads).
#define FAULT_EXIT_ENTRY 24
#define FAULT_LOOP_ATTACH 25

namespace {

// Read at run time, so the compiler cannot see the faults coming (a store
// through a literal null is undefined and would be optimised away).
volatile int g_zero = 0;
int* volatile g_null = nullptr;

__attribute__((noinline)) void write_through_null() { *g_null = 1; }
__attribute__((noinline)) int divide_by_zero() { return 7 / g_zero; }
__attribute__((noinline)) void illegal_instruction() { __builtin_trap(); }
// Deep enough for any stack, read at run time so the recursion is not seen
// as endless.
volatile int g_depth_limit = 1 << 30;
__attribute__((noinline)) int recurse(int depth) {
    volatile char frame[4096];
    frame[0] = static_cast<char>(depth);
    if (depth >= g_depth_limit) return frame[0];
    return recurse(depth + 1) + frame[0];
}
__attribute__((noinline)) void throw_across() { throw std::runtime_error("thrown across the plug-in interface"); }
volatile int g_forever = 1;
__attribute__((noinline)) void loop_forever() {
    while (g_forever) {
    }
}
// Busy for good, but asks its host something every 50 ms meanwhile.
__attribute__((noinline)) void loop_calling_host(audioMasterCallback host, AEffect* record) {
    while (g_forever) {
        host(record, audioMasterVersion, 0, 0, nullptr, 0.0f);
        Sleep(50);
    }
}
// Writes on past the end of a buffer until something stops it.
__attribute__((noinline)) void scribble_past(float* end) {
    for (std::size_t i = 0; i < (std::size_t{1} << 28); ++i) end[i] = 1.0f;
}
// Overruns a heap block far enough to wreck its neighbours, then keeps
// allocating until the heap's own bookkeeping faults; a heap that takes it
// all is ended by the plug-in itself, as a broken heap would end it.
__attribute__((noinline)) void smash_heap() {
    auto* block = static_cast<unsigned char*>(std::malloc(32));
    std::memset(block, 0xA5, 4096);
    for (int i = 0; i < 100000; ++i) std::free(std::malloc(static_cast<std::size_t>(16 + i % 512)));
    ExitProcess(0xC0000374);  // STATUS_HEAP_CORRUPTION
}
__attribute__((noinline)) float throw_and_catch(float gain) {
    try {
        throw std::runtime_error("caught inside the plug-in");
    } catch (const std::exception&) {
        return gain;
    }
    return 0.0f;
}

// The processReplacing call that faults: the first two chunks are processed.
constexpr int k_faulting_block = 3;

// The editor of FAULT_EDITOR_TIMER and FAULT_EDIT_CLOSE: a child window,
// whose timer faults the first time it fires in the first. Messages it gets
// after the fault are counted: a plug-in switched off must not run again.
const wchar_t k_view_class[] = L"OrvaneFaultyView";
constexpr UINT_PTR k_view_timer = 1;
std::atomic<bool> g_view_faulted{false};
std::atomic<int> g_messages_after_fault{0};

LRESULT CALLBACK view_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (g_view_faulted) ++g_messages_after_fault;
    if (message == WM_TIMER && wparam == k_view_timer) {
        g_view_faulted = true;
        write_through_null();
    }
    return DefWindowProcW(hwnd, message, wparam, lparam);
}

HINSTANCE this_module() {
    HMODULE m = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&view_proc), &m);
    return m;
}

class faulty_plugin final : public test_plugin {
public:
    explicit faulty_plugin(audioMasterCallback host)
        : test_plugin(host, {0x4F466C74 /* OFlt */, 2, 2, 2,
                             effFlagsCanReplacing | effFlagsHasEditor |
                                 (FAULT_AT == FAULT_GET_CHUNK || FAULT_AT == FAULT_LOOP_GET_CHUNK ||
                                          FAULT_AT == FAULT_LOOP_SET_CHUNK
                                      ? effFlagsProgramChunks
                                      : 0),
                             1, "Faulty", "Orvane Labs"}) {}

    std::intptr_t dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                           float opt) override {
        if (FAULT_AT == FAULT_OPEN && opcode == effOpen) illegal_instruction();
        if (FAULT_AT == FAULT_LOOP_OPEN && opcode == effOpen) loop_forever();
        if (FAULT_AT == FAULT_EDIT_OPEN && opcode == effEditOpen) write_through_null();
        if (FAULT_AT == FAULT_EDIT_IDLE && opcode == effEditIdle) write_through_null();
        if (FAULT_AT == FAULT_LOOP_HOST_EDIT_OPEN && opcode == effEditOpen) loop_calling_host(host_, &effect_);
        if (FAULT_AT == FAULT_LOOP_GET_CHUNK && opcode == effGetChunk) loop_forever();
        if (FAULT_AT == FAULT_LOOP_SET_CHUNK && opcode == effSetChunk) loop_forever();
        if (FAULT_AT == FAULT_LOOP_SET_CHUNK && opcode == effGetChunk) {
            // A state to capture, so that a preset gives it back.
            static char state[] = "OLSC";
            *static_cast<void**>(ptr) = state;
            return 4;
        }
        if (FAULT_AT == FAULT_EDITOR_TIMER || FAULT_AT == FAULT_EDIT_CLOSE) {
            if (opcode == effEditOpen) return open_view(static_cast<HWND>(ptr));
            if (FAULT_AT == FAULT_EDIT_CLOSE && opcode == effEditClose) {
                g_view_faulted = true;
                write_through_null();
            }
            if (opcode == effEditClose && view_) {
                DestroyWindow(view_);
                view_ = nullptr;
                return 1;
            }
        }
        if (FAULT_AT == FAULT_GET_CHUNK && opcode == effGetChunk) {
            // A pointer that claims 64 KB where there is nothing readable.
            *static_cast<void**>(ptr) = reinterpret_cast<void*>(std::uintptr_t{16});
            return 65536;
        }
        return test_plugin::dispatch(opcode, index, value, ptr, opt);
    }
    void process(float** inputs, float** outputs, std::int32_t frames) override {
        if (++blocks_ == k_faulting_block) {
            if (FAULT_AT == FAULT_PROCESS) outputs[0][0] = static_cast<float>(divide_by_zero());
            if (FAULT_AT == FAULT_THROW) throw_across();
            if (FAULT_AT == FAULT_STACK) outputs[0][0] = static_cast<float>(recurse(0));
            if (FAULT_AT == FAULT_EXIT) ExitProcess(3);
            if (FAULT_AT == FAULT_LOOP_PROCESS) loop_forever();
            if (FAULT_AT == FAULT_LOOP_HOST_PROCESS) loop_calling_host(host_, &effect_);
            if (FAULT_AT == FAULT_SCRIBBLE) scribble_past(outputs[1] + frames);
            if (FAULT_AT == FAULT_HEAP) smash_heap();
        }
        const float gain = FAULT_AT == FAULT_CAUGHT ? throw_and_catch(0.5f) : 0.5f;
        for (int ch = 0; ch < 2; ++ch)
            for (std::int32_t i = 0; i < frames; ++i) outputs[ch][i] = inputs[ch][i] * gain;
        if (FAULT_AT == FAULT_OVERRUN && blocks_ == k_faulting_block)
            for (int ch = 0; ch < 2; ++ch)
                for (std::int32_t i = frames; i < frames + 64; ++i) outputs[ch][i] = 1.0f;
    }
    void set_parameter(std::int32_t index, float value) override {
        if (FAULT_AT == FAULT_SET_PARAMETER) write_through_null();
        if (FAULT_AT == FAULT_LOOP_SET_PARAMETER) loop_forever();
        test_plugin::set_parameter(index, value);
    }

private:
    std::intptr_t open_view(HWND parent) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = view_proc;
        wc.hInstance = this_module();
        wc.lpszClassName = k_view_class;
        RegisterClassW(&wc);  // fails harmlessly when already registered
        view_ = CreateWindowExW(0, k_view_class, L"", WS_CHILD | WS_VISIBLE, 0, 0, 200, 100, parent, nullptr,
                                this_module(), nullptr);
        if (view_ && FAULT_AT == FAULT_EDITOR_TIMER) SetTimer(view_, k_view_timer, 20, nullptr);
        return view_ ? 1 : 0;
    }

    int blocks_ = 0;
    HWND view_ = nullptr;
};

}  // namespace

// How many messages the editor's window got after its timer faulted.
TEST_PLUGIN_EXPORT int faulty_messages_after_fault() { return g_messages_after_fault; }

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (FAULT_AT == FAULT_LOOP_ATTACH && reason == DLL_PROCESS_ATTACH) loop_forever();
    return TRUE;
}

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    if (FAULT_AT == FAULT_ENTRY) write_through_null();
    if (FAULT_AT == FAULT_EXIT_ENTRY) ExitProcess(3);
    return (new faulty_plugin(host))->record();
}

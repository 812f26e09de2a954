// A plug-in that takes its time, writes more than a block or keeps a large
// state, and works all the same: built once per kind (PATIENCE), each a DLL
// of its own. It halves its input (busy_dialog: multiplies by its Gain), so
// processed and unprocessed audio are told apart.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <vector>

#include "common/call_log.h"
#include "common/test_plugin.h"

#define SLOW_RESUME 1       // effMainsChanged(1) and effSetSampleRate take 400 ms (an impulse is loaded)
#define SLOW_FIRST_BLOCK 2  // its first processReplacing takes 400 ms (it sets itself up lazily)
#define TOLD_BLOCK 3        // writes the whole block size it was told into every output, on every call
#define BUSY_DIALOG 4       // its editor sets Gain to 0.75, then shows a modal window of its own for 8 s
#define BIG_STATE 5         // a program chunk of as many megabytes as effVendorSpecific(k_state_megabytes) says

namespace {

constexpr DWORD k_slow_ms = 400;
constexpr DWORD k_dialog_ms = 8000;
constexpr std::int32_t k_state_megabytes = 0x4F53744D;  // "OStM"
constexpr float k_dialog_gain = 0.75f;

std::atomic<std::uint32_t> g_state_megabytes{65};

const wchar_t k_view_class[] = L"OrvanePatientView";
const wchar_t k_dialog_class[] = L"OrvanePatientDialog";
constexpr UINT_PTR k_view_timer = 1;

HINSTANCE this_module() {
    HMODULE m = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&this_module), &m);
    return m;
}

// What an instance's dialog saw, for its lines in the log.
struct dialog_watch {
    std::atomic<int> state{0};  // 0 not shown, 1 showing, 2 closed
    std::atomic<int> idles{0};  // editor idle calls while it showed
};

// Runs a window of its own modally, as a file chooser or message box does:
// a message loop of its own on the editor's thread for k_dialog_ms.
void show_modal_window(HWND owner, dialog_watch& watch) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = this_module();
    wc.lpszClassName = k_dialog_class;
    RegisterClassW(&wc);
    HWND dialog = CreateWindowExW(0, k_dialog_class, L"Orvane Patient Dialog", WS_POPUP | WS_CAPTION | WS_VISIBLE,
                                  40, 40, 240, 120, owner, nullptr, this_module(), nullptr);
    watch.state = 1;
    test_plugin_note("dialog shown");
    const DWORD end = GetTickCount() + k_dialog_ms;
    for (DWORD now = GetTickCount(); static_cast<LONG>(end - now) > 0; now = GetTickCount()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, end - now, QS_ALLINPUT);
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
    }
    if (dialog) DestroyWindow(dialog);
    watch.state = 2;
    char line[64];
    std::snprintf(line, sizeof line, "dialog closed after %d editor idle calls", watch.idles.load());
    test_plugin_note(line);
}

class patient_plugin final : public test_plugin {
public:
    explicit patient_plugin(audioMasterCallback host)
        : test_plugin(host, {0x4F506174 /* OPat */, 2, 2, 1,
                             effFlagsCanReplacing | (PATIENCE == BUSY_DIALOG ? effFlagsHasEditor : 0) |
                                 (PATIENCE == BIG_STATE ? effFlagsProgramChunks : 0),
                             1, "Patient", "Orvane Labs"}) {
        params_[0] = 0.5f;
    }
    ~patient_plugin() override {
        if (state_) VirtualFree(state_, 0, MEM_RELEASE);
    }

    std::intptr_t dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                           float opt) override {
        if (PATIENCE == SLOW_RESUME && ((opcode == effMainsChanged && value == 1) || opcode == effSetSampleRate))
            Sleep(k_slow_ms);
        if (opcode == effSetBlockSize) told_ = static_cast<std::int32_t>(value);
        if (PATIENCE == BUSY_DIALOG) {
            if (opcode == effEditOpen) return open_view(static_cast<HWND>(ptr));
            if (opcode == effEditIdle && dialog_.state == 1) ++dialog_.idles;
            if (opcode == effEditClose && view_) {
                DestroyWindow(view_);
                view_ = nullptr;
                return 1;
            }
        }
        if (PATIENCE == BIG_STATE) {
            if (opcode == k_effect_vendor_specific && index == k_state_megabytes) {
                g_state_megabytes = static_cast<std::uint32_t>(value);
                return 1;
            }
            if (opcode == effGetChunk) return get_state(static_cast<void**>(ptr));
            if (opcode == effSetChunk) {
                char line[64];
                std::snprintf(line, sizeof line, "set chunk %d %lld %08x", index, static_cast<long long>(value),
                              log_hash(static_cast<const unsigned char*>(ptr), static_cast<std::size_t>(value)));
                test_plugin_note(line);
                return 1;
            }
        }
        return test_plugin::dispatch(opcode, index, value, ptr, opt);
    }

    void process(float** in, float** out, std::int32_t frames) override {
        if (PATIENCE == SLOW_FIRST_BLOCK && blocks_++ == 0) Sleep(k_slow_ms);
        const float gain = PATIENCE == BUSY_DIALOG ? params_[0] : 0.5f;
        // The room after the frames up to the told block size is written
        // too, as plug-ins that always run their own whole block do.
        const std::int32_t written = PATIENCE == TOLD_BLOCK && told_ > frames ? told_ : frames;
        for (int c = 0; c < 2; ++c) {
            for (std::int32_t i = 0; i < frames; ++i) out[c][i] = in[c][i] * gain;
            for (std::int32_t i = frames; i < written; ++i) out[c][i] = 0.0f;
        }
    }

private:
    std::intptr_t get_state(void** where) {
        const std::size_t size = std::size_t{g_state_megabytes.load()} << 20;
        if (state_) VirtualFree(state_, 0, MEM_RELEASE);
        state_ = static_cast<unsigned char*>(VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        if (!state_) return 0;
        // A pattern in every page a keeper reads: a state larger than any
        // keeper takes stays untouched (fresh pages read as zero).
        if (size <= (256u << 20))
            for (std::size_t i = 0; i < size; ++i) state_[i] = static_cast<unsigned char>((i * 7 + 3) & 0xFF);
        *where = state_;
        return static_cast<std::intptr_t>(size);
    }

    std::intptr_t open_view(HWND parent) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = view_proc;
        wc.hInstance = this_module();
        wc.lpszClassName = k_view_class;
        RegisterClassW(&wc);
        view_ = CreateWindowExW(0, k_view_class, L"", WS_CHILD | WS_VISIBLE, 0, 0, 200, 100, parent, nullptr,
                                this_module(), nullptr);
        if (!view_) return 0;
        SetWindowLongPtrW(view_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetTimer(view_, k_view_timer, 50, nullptr);
        return 1;
    }

    // The editor's own window: its first timer tick is the user's edit and
    // then the dialog that edit opens.
    static LRESULT CALLBACK view_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == WM_TIMER && wparam == k_view_timer) {
            KillTimer(hwnd, k_view_timer);
            auto* self = reinterpret_cast<patient_plugin*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
            if (self && self->dialog_.state == 0) {
                self->params_[0] = k_dialog_gain;
                self->call_host(audioMasterAutomate, 0, 0, nullptr, k_dialog_gain);
                show_modal_window(GetAncestor(hwnd, GA_ROOT), self->dialog_);
            }
            return 0;
        }
        return DefWindowProcW(hwnd, message, wparam, lparam);
    }

    int blocks_ = 0;
    std::int32_t told_ = 0;
    HWND view_ = nullptr;
    dialog_watch dialog_;
    unsigned char* state_ = nullptr;
};

}  // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) { return (new patient_plugin(host))->record(); }


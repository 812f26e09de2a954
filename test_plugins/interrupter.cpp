// Interrupter: a pass-through effect that, on its first block, interrupts
// the program it runs in, and then holds the playback thread long enough
// for the interrupt to end the process. With ORVANE_TEST_INTERRUPT=console
// it presses Ctrl+C on the process's console (the system delivers it on a
// thread of its own); otherwise it raises the interrupt signal from a
// thread of its own, as that delivery ends up doing. The tool's clean-up is
// tested with it.
#include <windows.h>

#include <csignal>
#include <cstring>

#include "common/test_plugin.h"

namespace {

DWORD WINAPI raise_interrupt(void*) {
    std::raise(SIGINT);
    return 0;
}

class interrupter final : public test_plugin {
public:
    explicit interrupter(audioMasterCallback host)
        : test_plugin(host, {0x4F496E74 /* OInt */, 2, 2, 0, effFlagsCanReplacing, 1, "Interrupter", "Orvane Labs"}) {}

    void process(float** in, float** out, std::int32_t frames) override {
        for (int c = 0; c < 2; ++c)
            for (std::int32_t i = 0; i < frames; ++i) out[c][i] = in[c][i];
        if (raised_) return;
        raised_ = true;
        char mode[16] = {};
        GetEnvironmentVariableA("ORVANE_TEST_INTERRUPT", mode, sizeof mode - 1);
        if (std::strcmp(mode, "console") == 0) {
            GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
        } else {
            HANDLE thread = CreateThread(nullptr, 0, raise_interrupt, nullptr, 0, nullptr);
            if (thread) CloseHandle(thread);
        }
        // A run that survives the interrupt goes on and finishes normally,
        // which the test sees.
        Sleep(10000);
    }

private:
    bool raised_ = false;
};

}  // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) { return (new interrupter(host))->record(); }

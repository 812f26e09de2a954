// Copies input to output slowly and logs "overlap" each time a
// processReplacing call began while another one was still running on some
// other thread.
#include <windows.h>

#include <atomic>

#include "common/test_plugin.h"

namespace {
std::atomic<int> g_running{0};

class overlap_probe final : public test_plugin {
public:
    explicit overlap_probe(audioMasterCallback host)
        : test_plugin(host, {0x4F4F7670 /* OOvp */, 2, 2, 0, effFlagsCanReplacing, 1, "Overlap Probe", "Orvane Labs"}) {}
    void process(float** inputs, float** outputs, std::int32_t frames) override {
        if (g_running.fetch_add(1) != 0) test_plugin_note("overlap");
        Sleep(1);
        test_plugin::process(inputs, outputs, frames);
        --g_running;
    }
};
}  // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) { return (new overlap_probe(host))->record(); }

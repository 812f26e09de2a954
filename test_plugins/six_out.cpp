// Two inputs, six outputs: output k carries input k mod 2 times k + 1.
#include "common/test_plugin.h"

namespace {
class six_out_plugin final : public test_plugin {
public:
    explicit six_out_plugin(audioMasterCallback host)
        : test_plugin(host, {0x4F536978 /* OSix */, 2, 6, 0, effFlagsCanReplacing, 1, "Six Out", "Orvane Labs"}) {}
    void process(float** in, float** out, std::int32_t frames) override {
        for (int k = 0; k < 6; ++k)
            for (std::int32_t i = 0; i < frames; ++i) out[k][i] = in[k % 2][i] * static_cast<float>(k + 1);
    }
};
}  // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) { return (new six_out_plugin(host))->record(); }

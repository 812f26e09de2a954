// Orvane Lookahead: a stereo effect that reports an initial delay of 1000
// frames and delays its input by exactly that, as a lookahead limiter does.
#include <vector>

#include "common/test_plugin.h"

namespace {

constexpr std::int32_t k_delay_frames = 1000;

class lookahead final : public test_plugin {
public:
    explicit lookahead(audioMasterCallback host)
        : test_plugin(host, {0x4F4C6B61 /* OLka */, 2, 2, 0, effFlagsCanReplacing, 1, "Lookahead", "Orvane Labs"}),
          line_(2 * k_delay_frames, 0.0f) {
        effect_.initialDelay = k_delay_frames;
    }

    void process(float** in, float** out, std::int32_t frames) override {
        for (std::int32_t i = 0; i < frames; ++i) {
            for (std::size_t ch = 0; ch < 2; ++ch) {
                float& slot = line_[ch * k_delay_frames + at_];
                const float x = in[ch][i];
                out[ch][i] = slot;
                slot = x;
            }
            at_ = (at_ + 1) % k_delay_frames;
        }
    }

private:
    std::vector<float> line_;  // per channel, the last k_delay_frames inputs
    std::size_t at_ = 0;
};

}  // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) { return (new lookahead(host))->record(); }

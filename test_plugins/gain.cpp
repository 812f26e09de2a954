// Orvane Gain: a stereo gain with pan and polarity. The bundled default of
// the command-line tool, and the tests' reference for sample values.
#include <cmath>
#include <cstdio>

#include "common/test_plugin.h"

namespace {

enum { param_gain, param_pan, param_invert, param_count };

class gain_plugin final : public test_plugin {
public:
    explicit gain_plugin(audioMasterCallback host)
        : test_plugin(host, {0x4F47616E /* OGan */, 2, 2, param_count, effFlagsCanReplacing, 1100, "Orvane Gain",
                             "Orvane Labs"}) {
        params_[param_invert] = 0.0f;
    }

    // Gain runs from -24 dB to +24 dB; pan from full left to full right.
    double gain_db() const { return -24.0 + 48.0 * params_[param_gain]; }

    void process(float** in, float** out, std::int32_t frames) override {
        double g = std::pow(10.0, gain_db() / 20.0) * (params_[param_invert] >= 0.5f ? -1.0 : 1.0);
        double pan = params_[param_pan];
        float left = static_cast<float>(g * std::fmin(1.0, 2.0 * (1.0 - pan)));
        float right = static_cast<float>(g * std::fmin(1.0, 2.0 * pan));
        for (std::int32_t i = 0; i < frames; ++i) {
            out[0][i] = in[0][i] * left;
            out[1][i] = in[1][i] * right;
        }
    }
    std::string parameter_name(std::int32_t i) override {
        static const char* names[] = {"Gain", "Pan", "Invert"};
        return i >= 0 && i < param_count ? names[i] : "";
    }
    std::string parameter_label(std::int32_t i) override { return i == param_gain ? "dB" : i == param_pan ? "%" : ""; }
    std::string parameter_display(std::int32_t i) override {
        char buf[32];
        if (i == param_gain) std::snprintf(buf, sizeof buf, "%+.1f", gain_db());
        else if (i == param_pan) std::snprintf(buf, sizeof buf, "%+.0f", (params_[param_pan] - 0.5) * 200.0);
        else std::snprintf(buf, sizeof buf, "%s", params_[param_invert] >= 0.5f ? "On" : "Off");
        return buf;
    }
};

}  // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    return (new gain_plugin(host))->record();
}

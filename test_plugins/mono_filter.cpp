// Orvane Mono Filter: one input, one output, and a memory of one sample:
// output = input x (1 - Amount) + the previous input x Amount. Two channels
// through one instance would each start from the other's last sample. It
// refuses every speaker arrangement (it answers 0, as a plug-in that knows
// none does). Its "editor" is the k_edit_parameter call (call_log.h).
#include "common/call_log.h"
#include "common/test_plugin.h"

namespace {

class mono_filter final : public test_plugin {
public:
    explicit mono_filter(audioMasterCallback host)
        : test_plugin(host, {0x4F4D6E46 /* OMnF */, 1, 1, 1, effFlagsCanReplacing, 1, "Mono Filter",
                             "Orvane Labs"}) {}

    std::intptr_t dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                           float opt) override {
        if (opcode == k_effect_vendor_specific && index == k_edit_parameter) {
            set_parameter(static_cast<std::int32_t>(value), opt);
            call_host(audioMasterAutomate, static_cast<std::int32_t>(value), 0, nullptr, opt);
            return 1;
        }
        return test_plugin::dispatch(opcode, index, value, ptr, opt);
    }
    std::string parameter_name(std::int32_t) override { return "Amount"; }

    void process(float** in, float** out, std::int32_t frames) override {
        const float amount = params_[0];
        for (std::int32_t i = 0; i < frames; ++i) {
            const float x = in[0][i];
            out[0][i] = x * (1.0f - amount) + previous_ * amount;
            previous_ = x;
        }
    }

private:
    float previous_ = 0.0f;
};

}  // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) { return (new mono_filter(host))->record(); }

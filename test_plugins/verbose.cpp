// Answers every text request with 4 KB of text and no terminator, far past
// what the interface allows (the host's buffer ends where it ends).
#include <cstring>

#include "common/test_plugin.h"

namespace {
constexpr std::size_t k_text_bytes = 4096;

class verbose_plugin final : public test_plugin {
public:
    explicit verbose_plugin(audioMasterCallback host)
        : test_plugin(host, {0x4F566262 /* OVbb */, 2, 2, 2, effFlagsCanReplacing, 1, "", "Orvane Labs"}) {}
    std::intptr_t dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                           float opt) override {
        switch (opcode) {
            case effGetProductString:
            case effGetProgramName:
            case effGetParamName:
            case effGetParamLabel:
            case effGetParamDisplay:
                std::memset(ptr, 'V', k_text_bytes);
                return 1;
            default:
                return test_plugin::dispatch(opcode, index, value, ptr, opt);
        }
    }
};
}  // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) { return (new verbose_plugin(host))->record(); }

// Writes a product string far longer than the interface allows.
#include <cstring>

#include "common/test_plugin.h"

namespace {
class verbose_plugin final : public test_plugin {
public:
    explicit verbose_plugin(audioMasterCallback host)
        : test_plugin(host, {0x4F566262 /* OVbb */, 2, 2, 0, effFlagsCanReplacing, 1, "", "Orvane Labs"}) {}
    std::intptr_t dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                           float opt) override {
        if (opcode == effGetProductString) {
            std::string text(300, 'V');
            std::memcpy(ptr, text.c_str(), text.size() + 1);
            return 1;
        }
        return test_plugin::dispatch(opcode, index, value, ptr, opt);
    }
};
}  // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) { return (new verbose_plugin(host))->record(); }

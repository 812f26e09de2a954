// A plug-in that says it has an editor but gives no rectangle for it.
#include "common/test_plugin.h"

namespace {

class no_rect final : public test_plugin {
public:
    explicit no_rect(audioMasterCallback host)
        : test_plugin(host, {0x4F4E5274 /* ONRt */, 2, 2, 1, effFlagsCanReplacing | effFlagsHasEditor, 1, "No Rect",
                             "Orvane Labs"}) {}

    std::intptr_t dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                           float opt) override {
        if (opcode == effEditGetRect) return 0;  // leaves the caller's pointer as it was
        return test_plugin::dispatch(opcode, index, value, ptr, opt);
    }
};

}  // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) { return (new no_rect(host))->record(); }

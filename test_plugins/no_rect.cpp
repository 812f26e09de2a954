// A plug-in that says it has an editor but gives no usable rectangle for
// it. Its one parameter says which answer: at its default (0.5) no
// rectangle at all, at 0 a rectangle of 0 x 0, at 1 one whose right and
// bottom lie before its left and top.
#include "common/test_plugin.h"

namespace {

class no_rect final : public test_plugin {
public:
    explicit no_rect(audioMasterCallback host)
        : test_plugin(host, {0x4F4E5274 /* ONRt */, 2, 2, 1, effFlagsCanReplacing | effFlagsHasEditor, 1, "No Rect",
                             "Orvane Labs"}) {}

    std::intptr_t dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                           float opt) override {
        if (opcode != effEditGetRect) return test_plugin::dispatch(opcode, index, value, ptr, opt);
        const float mode = get_parameter(0);
        if (mode == 0.0f) rect_ = {0, 0, 0, 0};
        else if (mode == 1.0f) rect_ = {10, 20, 5, 8};
        else return 0;  // leaves the caller's pointer as it was
        if (ptr) *static_cast<ERect**>(ptr) = &rect_;
        return 1;
    }

private:
    ERect rect_{};
};

}  // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) { return (new no_rect(host))->record(); }

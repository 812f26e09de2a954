// Answers a record that is not a plug-in record; its dispatcher must never
// be called.
#include "common/test_plugin.h"

#include <cstdio>

namespace {
std::intptr_t VSTCALL counting_dispatcher(AEffect*, std::int32_t opcode, std::int32_t, std::intptr_t, void*, float) {
    char line[32];
    std::snprintf(line, sizeof line, "dispatch %d", opcode);
    test_plugin_note(line);
    return 0;
}
AEffect g_record = [] {
    AEffect e{};
    e.magic = 0x12345678;
    e.dispatcher = counting_dispatcher;
    e.numInputs = 2;
    e.numOutputs = 2;
    return e;
}();
}  // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) { return &g_record; }

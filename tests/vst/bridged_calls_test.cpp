// How the component's calls cross to a plug-in in a process of its own:
// an opcode whose pointer we do not know the meaning of never crosses with
// its pointer, and one without a pointer crosses as it is.
#include <gtest/gtest.h>

#include "../../vst/vst.h"
#include "../support/linked_host.h"
#include "../support/plugin_hooks.h"

namespace {

TEST(BridgedCalls, AnOpcodeOfUnknownMeaningCrossesOnlyWithoutAPointer) {
    linked_host host;
    plugin_hooks dll("recorder");
    vst v(entry(dll.path_utf8()), false, plugin_place::own_process);
    ASSERT_TRUE(v.loaded) << v.diagnosis;
    const std::int32_t unknown = 50;  // effVendorSpecific: its pointer means what a vendor says
    char buffer[16] = "not for you";
    dll.clear();
    EXPECT_EQ(v.dispatch(unknown, 7, 9, buffer, 0.5f), 0);
    EXPECT_EQ(dll.opcodes(), std::vector<std::string>{});
    EXPECT_EQ(v.dispatch(unknown, 7, 9, nullptr, 0.5f), 0);
    EXPECT_EQ(dll.log(), std::vector<std::string>{"dispatch 50 7 9 0.5"});
    EXPECT_FALSE(v.faulted);
}

}  // namespace

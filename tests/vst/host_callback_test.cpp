// What the component answers to a plug-in's requests.
#include <gtest/gtest.h>

#include <cstring>

#include "../../vst/editor_link.h"
#include "../../vst/host_callback.h"
#include "../../vst/vst.h"
#include "../support/linked_host.h"
#include "../support/plugin_hooks.h"

namespace {

class HostCallback : public ::testing::Test {
protected:
    void SetUp() override {
        plugin = std::make_unique<vst>(entry(dll.path_utf8()), false);
        ASSERT_TRUE(plugin->loaded) << plugin->diagnosis;
    }
    std::intptr_t can_do(const char* text) { return dll.host_call(audioMasterCanDo, 0, 0, const_cast<char*>(text)); }

    linked_host host;
    plugin_hooks dll{"recorder"};
    std::unique_ptr<vst> plugin;
};

TEST_F(HostCallback, VersionToANullRecordDuringTheEntryCall) {
    plugin_hooks probe("version_probe");
    probe.clear();
    vst v(entry(probe.path_utf8()), false);
    ASSERT_TRUE(v.loaded);
    const std::vector<std::string> log = probe.log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "version 2400");
    EXPECT_EQ(log[1], "current id 0");
}

TEST_F(HostCallback, ConstantAnswers) {
    EXPECT_EQ(dll.host_call(audioMasterVersion), 2400);
    EXPECT_EQ(dll.host_call(audioMasterCurrentId), plugin->effect->uniqueID);
    EXPECT_EQ(dll.host_call(audioMasterAutomate, 1, 0, nullptr, 0.75f), 0);
    EXPECT_EQ(dll.host_call(audioMasterProcessEvents), 1);
    EXPECT_EQ(dll.host_call(audioMasterGetAutomationState), 1);
    EXPECT_EQ(dll.host_call(audioMasterGetVendorVersion), 52);
    EXPECT_EQ(dll.host_call(audioMasterGetLanguage), 1);

    char text[64];
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(dll.host_call(audioMasterGetVendorString, 0, 0, text), 1);
    EXPECT_STREQ(text, "Tamsk");
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(dll.host_call(audioMasterGetProductString, 0, 0, text), 1);
    EXPECT_STREQ(text, "Velmora Orvane");
}

TEST_F(HostCallback, EverythingElseIsZero) {
    for (std::int32_t op : {4, 5, 6, 7, 9, 10, 11, 12, 13, 14, 16, 17, 18, 19, 20, 21, 22, 23, 25, 26, 27, 28, 29,
                            30, 31, 35, 36, 39, 40, 42, 43, 44, 45, 46, 50, 1000, -1, -100})
        EXPECT_EQ(dll.host_call(op, 1, 2, nullptr, 3.0f), 0) << op;
}

TEST_F(HostCallback, CanDoIsExactAndCaseSensitive) {
    EXPECT_EQ(can_do("supplyIdle"), 1);
    EXPECT_EQ(can_do("sizeWindow"), 1);
    for (const char* no : {"supportShell", "openFileSelector", "closeFileSelector", "sendVstEvents",
                           "sendVstMidiEvent", "sendVstTimeInfo", "receiveVstEvents", "receiveVstMidiEvent",
                           "receiveVstTimeInfo", "reportConnectionChanges"})
        EXPECT_EQ(can_do(no), 0) << no;
    for (const char* unknown : {"SizeWindow", "sizewindow", "sizeWindow ", "supplyIdl", "", "offline"})
        EXPECT_EQ(can_do(unknown), -1) << unknown;
    EXPECT_EQ(can_do(nullptr), -1);
}

TEST_F(HostCallback, IdleReachesThePluginBeforeTheCallReturns) {
    dll.clear();
    EXPECT_EQ(dll.host_call(audioMasterIdle), 0);
    EXPECT_EQ(dll.opcodes(), (std::vector<std::string>{"19 0 0"}));
    EXPECT_EQ(host_callback(nullptr, audioMasterIdle, 0, 0, nullptr, 0.0f), 0);
}

TEST_F(HostCallback, DirectoryOfTheConfiguredPath) {
    auto directory_of = [](const std::string& configured) {
        vst owner(entry(configured), false);  // missing DLL: a placeholder that still owns the path
        AEffect record{};
        record.resvd2 = reinterpret_cast<std::intptr_t>(&owner);
        auto answer = host_callback(&record, audioMasterGetDirectory, 0, 0, nullptr, 0.0f);
        return answer ? std::string(reinterpret_cast<const char*>(answer)) : std::string("<null>");
    };
    EXPECT_EQ(directory_of("C:\\fx\\delay.dll"), "C:\\fx");
    EXPECT_EQ(directory_of("delay.dll"), "");
    EXPECT_EQ(directory_of("sub\\delay.dll"), "sub");

    auto answer = dll.host_call(audioMasterGetDirectory);
    std::string plugins = dll.path_utf8().substr(0, dll.path_utf8().find_last_of('\\'));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(answer)), plugins);
    EXPECT_EQ(host_callback(nullptr, audioMasterGetDirectory, 0, 0, nullptr, 0.0f), 0);
}

class fake_editor final : public editor_link {
public:
    bool resize_client(int w, int h) override {
        width = w;
        height = h;
        ++calls;
        return true;
    }
    int width = 0, height = 0, calls = 0;
};

TEST_F(HostCallback, SizeWindowGoesToTheAttachedEditorOnly) {
    EXPECT_EQ(dll.host_call(audioMasterSizeWindow, 320, 200), 0);
    fake_editor editor;
    plugin->effect->resvd1 = reinterpret_cast<std::intptr_t>(static_cast<editor_link*>(&editor));
    EXPECT_EQ(dll.host_call(audioMasterSizeWindow, 320, 200), 0);
    EXPECT_EQ(editor.calls, 1);
    EXPECT_EQ(editor.width, 320);
    EXPECT_EQ(editor.height, 200);
    EXPECT_EQ(dll.host_call(audioMasterAutomate, 0, 0, nullptr, 0.5f), 0);
    EXPECT_EQ(editor.calls, 1);
    plugin->effect->resvd1 = 0;
}

}  // namespace

// What the component answers to a plug-in's requests, wherever the plug-in
// runs and from whichever of its threads it asks.
#include <gtest/gtest.h>

#include <cstring>

#include "../../vst/editor_link.h"
#include "../../vst/host_callback.h"
#include "../../vst/vst.h"
#include "../support/linked_host.h"
#include "../support/plugin_hooks.h"
#include "../support/plugin_places.h"
#include "../support/settings_restorer.h"
#include "../../test_plugins/common/call_log.h"

namespace {

class HostCallback : public ::testing::TestWithParam<plugin_place> {
protected:
    void SetUp() override {
        plugin = std::make_unique<vst>(entry(dll.path_utf8()), false, GetParam());
        ASSERT_TRUE(plugin->loaded) << plugin->diagnosis;
    }
    // The plug-in asks, inside a dispatcher call of ours.
    host_answer ask(host_ask q) {
        return dll.ask_host([&](std::int32_t opcode, std::int32_t index) { return plugin->dispatch(opcode, index); },
                            q);
    }
    std::int64_t answer(std::int32_t opcode, std::int32_t index = 0, std::int64_t value = 0, float opt = 0.0f,
                        bool from_own_thread = false) {
        host_ask q;
        q.opcode = opcode;
        q.index = index;
        q.value = value;
        q.opt = opt;
        q.from_own_thread = from_own_thread;
        return ask(q).answer;
    }
    std::string text(std::int32_t opcode, bool from_own_thread = false) {
        host_ask q;
        q.opcode = opcode;
        q.pointer = 2;
        q.from_own_thread = from_own_thread;
        return ask(q).text;
    }
    std::int64_t can_do(const char* word) {
        host_ask q;
        q.opcode = audioMasterCanDo;
        if (word) {
            q.pointer = 1;
            q.text = word;
        }
        return ask(q).answer;
    }

    linked_host host;
    plugin_hooks dll{"recorder"};
    std::unique_ptr<vst> plugin;
};

TEST_P(HostCallback, VersionToANullRecordDuringTheEntryCall) {
    plugin_hooks probe("version_probe");
    probe.clear();
    vst v(entry(probe.path_utf8()), false, GetParam());
    ASSERT_TRUE(v.loaded);
    const std::vector<std::string> log = probe.log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "version 2400");
    EXPECT_EQ(log[1], "current id 0");
}

TEST_P(HostCallback, ConstantAnswersOnTheCallingThreadAndOnThePluginsOwn) {
    for (bool own_thread : {false, true}) {
        SCOPED_TRACE(own_thread ? "own thread" : "calling thread");
        EXPECT_EQ(answer(audioMasterVersion, 0, 0, 0.0f, own_thread), 2400);
        EXPECT_EQ(answer(audioMasterCurrentId, 0, 0, 0.0f, own_thread), 0x4F526563);
        EXPECT_EQ(answer(audioMasterAutomate, 1, 0, 0.75f, own_thread), 0);
        EXPECT_EQ(answer(audioMasterProcessEvents, 0, 0, 0.0f, own_thread), 1);
        EXPECT_EQ(answer(audioMasterGetAutomationState, 0, 0, 0.0f, own_thread), 1);
        EXPECT_EQ(answer(audioMasterGetVendorVersion, 0, 0, 0.0f, own_thread), 52);
        EXPECT_EQ(answer(audioMasterGetLanguage, 0, 0, 0.0f, own_thread), 1);
        EXPECT_EQ(text(audioMasterGetVendorString, own_thread), "Tamsk");
        EXPECT_EQ(text(audioMasterGetProductString, own_thread), "Velmora Orvane");
    }
}

TEST_P(HostCallback, EverythingElseIsZero) {
    for (std::int32_t op : {4, 5, 6, 7, 9, 10, 11, 12, 13, 14, 16, 17, 18, 19, 20, 21, 22, 23, 25, 26, 27, 28, 29,
                            30, 31, 35, 36, 39, 40, 42, 43, 44, 45, 46, 50, 1000, -1, -100})
        EXPECT_EQ(answer(op, 1, 2, 3.0f), 0) << op;
}

TEST_P(HostCallback, CanDoIsExactAndCaseSensitive) {
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

// A nested call both ways: the plug-in asks for idle inside our call, and
// we call its dispatcher inside its call, on the thread it asked from.
TEST_P(HostCallback, IdleReachesThePluginBeforeTheCallReturns) {
    const std::string asked = "50 " + std::to_string(k_ask_host) + " 0";
    for (bool own_thread : {false, true}) {
        SCOPED_TRACE(own_thread ? "own thread" : "calling thread");
        dll.clear();
        EXPECT_EQ(answer(audioMasterIdle, 0, 0, 0.0f, own_thread), 0);
        EXPECT_EQ(dll.opcodes(), (std::vector<std::string>{asked, "19 0 0"}));
    }
    EXPECT_EQ(host_callback(nullptr, audioMasterIdle, 0, 0, nullptr, 0.0f), 0);
}

TEST_P(HostCallback, DirectoryOfTheConfiguredPath) {
    host_ask q;
    q.opcode = audioMasterGetDirectory;
    q.pointer = 3;
    const host_answer a = ask(q);
    EXPECT_NE(a.answer, 0);
    EXPECT_EQ(a.text, dll.path_utf8().substr(0, dll.path_utf8().find_last_of('\\')));
}

class fake_editor final : public editor_link {
public:
    explicit fake_editor(DWORD thread) : thread_(thread) {}
    bool resize_client(int w, int h) override { return record("resize", w, h); }
    bool post_resize(int w, int h) override { return record("post", w, h); }
    DWORD window_thread() const override { return thread_; }
    std::vector<std::string> calls;

private:
    bool record(const char* how, int w, int h) {
        calls.push_back(std::string(how) + " " + std::to_string(w) + "x" + std::to_string(h));
        return true;
    }
    DWORD thread_;
};

// On the window's thread the size is set at once; from any other thread the
// request is only handed to the window.
TEST_P(HostCallback, SizeWindowGoesToTheAttachedEditorOnItsOwnThread) {
    EXPECT_EQ(answer(audioMasterSizeWindow, 320, 200), 0);
    struct row {
        DWORD window_thread;
        const char* expected;
    } rows[] = {{GetCurrentThreadId(), "resize 320x-1"}, {GetCurrentThreadId() + 4, "post 320x-1"}};
    for (const row& r : rows) {
        fake_editor editor(r.window_thread);
        set_editor_link(plugin->effect, &editor);
        EXPECT_EQ(answer(audioMasterSizeWindow, 320, -1), 0);
        EXPECT_EQ(answer(audioMasterAutomate, 0, 0, 0.5f), 0);
        set_editor_link(plugin->effect, nullptr);
        EXPECT_EQ(answer(audioMasterSizeWindow, 1, 1), 0);  // no longer linked
        EXPECT_EQ(editor.calls, std::vector<std::string>{r.expected});
    }
}

// Port changes are the player's business only while plug-ins are matched
// to the stream's layout ("Match plug-in channels to the stream").
TEST_P(HostCallback, PortChangesAreTakenOnlyWhileMatching) {
    settings_restorer keep_settings;
    for (bool on : {false, true}) {
        match_channels_setting().set_state(on);
        for (bool own_thread : {false, true}) {
            SCOPED_TRACE(std::string(on ? "on, " : "off, ") + (own_thread ? "own thread" : "calling thread"));
            EXPECT_EQ(answer(audioMasterIOChanged, 0, 0, 0.0f, own_thread), on ? 1 : 0);
        }
        EXPECT_EQ(can_do("acceptIOChanges"), on ? 1 : -1);
    }
}

ORVANE_IN_BOTH_PLACES(HostCallback);

TEST(HostCallbackAnswers, DirectoryOfTheConfiguredPathAsTyped) {
    EXPECT_EQ(plugin_directory_answer("C:\\fx\\delay.dll"), "C:\\fx");
    EXPECT_EQ(plugin_directory_answer("delay.dll"), "");
    EXPECT_EQ(plugin_directory_answer("sub\\delay.dll"), "sub");
    EXPECT_EQ(host_callback(nullptr, audioMasterGetDirectory, 0, 0, nullptr, 0.0f), 0);
}

}  // namespace

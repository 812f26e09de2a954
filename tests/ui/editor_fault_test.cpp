// A plug-in that faults while its editor is open: in effEditIdle, in its
// own window's timer (which the system's message dispatch calls, not the
// component), in effEditClose, or on the playback thread. Opened from the
// player's DSP settings or from the "DSP" menu, the editor closes, the user
// is told once, nothing of the plug-in runs any more, and its chain
// position keeps the settings it had.
#include <gtest/gtest.h>

#include <atomic>
#include <ostream>
#include <string>
#include <thread>

#include "../../host_standin/dsp_settings.h"
#include "../support/plugin_hooks.h"
#include "../support/signals.h"
#include "main_menu_fixture.h"

using namespace menu_tests;

namespace {

constexpr unsigned k_faulty_id = 0x4F466C74;

// Its settings: the key and its two parameters, 0.25 and 0.75.
dsp_preset_impl faulty_settings() { return with_parameters(plugin_guid(k_faulty_id), 40001, {0.25f, 0.75f}); }

// It ran in the player's process: from its next load it runs in its own.
popup_record crashed_in(const std::string& call, const std::string& kind = "access violation") {
    return {"The VST plug-in \"Faulty\" crashed in " + call + " (" + kind +
                ") and has been switched off. Its audio passes through unchanged from now on. From its next load "
                "it runs in a process of its own.",
            "Error", popup_message::icon_error};
}

// How many messages the faulty plug-in's editor window got after its fault.
int messages_after_fault(const plugin_hooks& faulty) {
    return faulty.hook<int (*)()>("faulty_messages_after_fault")();
}

struct settings_run {
    bool reported = false;
    bool seen = false;            // the editor showed
    bool closed_in_time = true;   // it was not left open
};

// The player's DSP settings for chain position 1, on this thread as on the
// player's main thread. A helper thread waits for the editor to show, does
// `meanwhile` with it, and keeps watch: an editor still open after a while
// is closed, so that the test fails rather than hangs.
settings_run edit_in_dsp_settings(component_host& host, const std::function<void(HWND)>& meanwhile = nullptr) {
    settings_run run;
    std::atomic<bool> returned{false};
    std::thread watch([&] {
        HWND editor = nullptr;
        wait_until([&] { return (editor = find_dialog(L"Faulty")) != nullptr || returned; });
        run.seen = editor != nullptr;
        if (editor && meanwhile) meanwhile(editor);
        if (wait_until([&] { return returned.load(); }, 20000)) return;
        run.closed_in_time = false;
        if (HWND w = find_dialog(L"Faulty")) PostMessageW(w, WM_CLOSE, 0, 0);
    });
    run.reported = edit_dsp_settings(host, 0, host.api().main_window());
    returned = true;
    watch.join();
    return run;
}

struct fault_case {
    const char* dll;
    const char* call;  // as the message names it
    const char* name;
};

void PrintTo(const fault_case& c, std::ostream* out) { *out << c.dll; }

// The faults that close the editor by themselves.
class EditorFaults : public MainMenu, public ::testing::WithParamInterface<fault_case> {
protected:
    void SetUp() override { start_with({stored}, {plugin_record(GetParam().dll, k_faulty_id, "Faulty")}); }

    // Told once; nothing of the plug-in ran after its fault, not even
    // effEditClose nor its window procedure.
    void expect_switched_off_once() {
        host->pump();
        EXPECT_EQ(host->popups().messages(), (std::vector<popup_record>{crashed_in(GetParam().call)}));
        EXPECT_EQ(faulty.calls(effEditOpen), 1);
        EXPECT_EQ(faulty.calls(effEditClose), 0);
        EXPECT_EQ(messages_after_fault(faulty), 0);
    }

    const dsp_preset_impl stored = faulty_settings();
    plugin_hooks faulty{GetParam().dll};
};

TEST_P(EditorFaults, FromTheDspSettingsTheEditorClosesAndThePositionKeepsItsSettings) {
    const settings_run run = edit_in_dsp_settings(*host);
    EXPECT_TRUE(run.closed_in_time);
    EXPECT_TRUE(run.reported);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_TRUE(chain().get_item(0).equals(stored));
    EXPECT_TRUE(IsWindowEnabled(host->api().main_window()));
    expect_switched_off_once();
}

TEST_P(EditorFaults, FromTheMainMenuTheEditorClosesAndThePositionKeepsItsSettings) {
    commands->get_command_count();
    commands->execute(0, nullptr);
    // The report comes back into the chain once the editor has closed.
    const bool closed = wait_until([&] {
        host->pump();
        return writes.size() == 1;
    }, 20000);
    if (!closed)
        if (HWND w = find_dialog(L"Faulty")) PostMessageW(w, WM_CLOSE, 0, 0);
    EXPECT_TRUE(closed);
    EXPECT_TRUE(chain().get_item(0).equals(stored));
    EXPECT_NE(faulty.opcode_thread(effEditOpen), GetCurrentThreadId());
    EXPECT_TRUE(wait_until([&] {
        commands->get_command_count();
        return flags_of(0) == 0;
    }));
    expect_switched_off_once();
}

INSTANTIATE_TEST_SUITE_P(Plugins, EditorFaults,
                         ::testing::Values(fault_case{"fault_edit_idle", "effEditIdle", "InEffEditIdle"},
                                           fault_case{"fault_editor_timer", "its editor's timer", "InItsWindowsTimer"}),
                         [](const ::testing::TestParamInfo<fault_case>& info) { return info.param.name; });

// A crash in effEditClose leaves the plug-in's window behind, destroyed
// with the editor's: its window procedure is not called for that.
TEST_F(MainMenu, APluginThatCrashesClosingItsEditorRunsNoMoreForItsWindow) {
    const dsp_preset_impl stored = faulty_settings();
    start_with({stored}, {plugin_record("fault_edit_close", k_faulty_id, "Faulty")});
    plugin_hooks faulty("fault_edit_close");
    const settings_run run = edit_in_dsp_settings(*host, [](HWND editor) { PostMessageW(editor, WM_CLOSE, 0, 0); });
    EXPECT_TRUE(run.seen);
    EXPECT_TRUE(run.closed_in_time);
    EXPECT_TRUE(chain().get_item(0).equals(stored));
    host->pump();
    EXPECT_EQ(host->popups().messages(), (std::vector<popup_record>{crashed_in("effEditClose")}));
    EXPECT_EQ(messages_after_fault(faulty), 0);
}

// Switched off by a crash on the playback thread while its editor is open,
// the plug-in loses its editor too.
TEST_F(MainMenu, AnEditorClosesWhenItsPluginCrashesOnThePlaybackThread) {
    const dsp_preset_impl stored = faulty_settings();
    start_with({stored}, {plugin_record("fault_process", k_faulty_id, "Faulty")});
    plugin_hooks faulty("fault_process");
    service_ptr_t<dsp> playing;
    ASSERT_TRUE(effect("Faulty")->instantiate(playing, stored));
    const settings_run run = edit_in_dsp_settings(*host, [&](HWND) {
        // Its third block divides by zero.
        for (int block = 0; block < 3; ++block) {
            dsp_chunk_list_impl list;
            *static_cast<audio_chunk_impl*>(list.insert_item(0)) = chunk_of(test_signal(64, 2), 2);
            playing->run(&list, nullptr, 0);
        }
    });
    EXPECT_TRUE(run.seen);
    EXPECT_TRUE(run.closed_in_time);
    EXPECT_TRUE(chain().get_item(0).equals(stored));
    host->pump();
    EXPECT_EQ(host->popups().messages(),
              (std::vector<popup_record>{crashed_in("processReplacing", "division by zero")}));
    EXPECT_EQ(faulty.calls(effEditClose), 0);
}

}  // namespace

// How menu edits end: with the component's stop, after it, and with a chain
// edit that cannot be queued.
#include <gtest/gtest.h>

#include "../../host/exceptions.h"
#include "main_menu_fixture.h"

using namespace menu_tests;

namespace {

// Quitting while a menu edit's editor is open closes it: its report still
// reaches the chain, and its thread has ended when the stop returns.
TEST_F(MainMenu, QuittingClosesTheOpenMenuEditsAndWaitsForThem) {
    start_with({painter});
    commands->get_command_count();
    commands->execute(0, nullptr);
    HWND editor = editor_window(L"Orvane Painter");
    ASSERT_TRUE(editor);
    unique_handle thread(OpenThread(SYNCHRONIZE, FALSE, GetWindowThreadProcessId(editor, nullptr)));
    ASSERT_TRUE(thread);
    quit();
    EXPECT_FALSE(IsWindow(editor));
    EXPECT_EQ(WaitForSingleObject(thread.get(), 0), static_cast<DWORD>(WAIT_OBJECT_0));
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].get_item(0).get_owner(), plugin_guid(k_painter_id));
    EXPECT_FALSE(writes[0].get_item(0).equals(painter));
}

// A popup that outlives the stop (it has no window to close) reports into
// a player that has gone: nothing is queued for it.
TEST_F(MainMenu, AReportAfterTheStopQueuesNothing) {
    start_with({keyed(k_player_dsp_v2, 1)});
    unique_handle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::atomic<bool> shown{false}, reported{false};
    HANDLE edit_thread = nullptr;
    reverb.popup = [&](const dsp_preset& preset, dsp_preset_edit_callback& callback) {
        DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &edit_thread, SYNCHRONIZE,
                        FALSE, 0);
        shown = true;
        WaitForSingleObject(release.get(), 20000);
        dsp_preset_impl edited(preset);
        edited.set_data("late", 4);
        callback.on_preset_changed(edited);
        reported = true;
    };
    commands->get_command_count();
    commands->execute(0, nullptr);
    ASSERT_TRUE(wait_until([&] { return shown.load(); }));
    quit();
    SetEvent(release.get());
    ASSERT_TRUE(wait_until([&] { return reported.load(); }));
    EXPECT_EQ(host->queue().pending(), 0u);
    EXPECT_TRUE(writes.empty());
    unique_handle ends(edit_thread);
    EXPECT_EQ(WaitForSingleObject(ends.get(), 10000), static_cast<DWORD>(WAIT_OBJECT_0));
}

// A report whose chain edit cannot be queued leaves the chain entry as it
// was, and the list of edited presets keeps no trace of the report.
TEST_F(MainMenu, AChainEditThatCannotBeQueuedLeavesNoMark) {
    const dsp_preset_impl player = keyed(k_player_dsp_v2, 1);
    dsp_preset_impl edited(player);
    edited.set_data("edited", 6);
    start_with({player});
    std::atomic<bool> refused{false};
    reverb.popup = [&](const dsp_preset&, dsp_preset_edit_callback& callback) {
        try {
            callback.on_preset_changed(edited);
        } catch (const host_exception&) {
            refused = true;
            throw;
        }
    };
    host->queue().fail_next("the queue is full");
    commands->get_command_count();
    commands->execute(0, nullptr);
    ASSERT_TRUE(wait_until([&] { return refused.load(); }));
    ASSERT_TRUE(pump_until([&] {
        commands->get_command_count();
        return flags_of(0) == 0;
    }));
    EXPECT_TRUE(chain().get_item(0).equals(player));
    dsp_chain_config_impl now_edited;
    now_edited.add_item(edited);
    host->chain().write_chain(now_edited);
    commands->get_command_count();
    EXPECT_EQ(flags_of(0), 0u);
}

}  // namespace

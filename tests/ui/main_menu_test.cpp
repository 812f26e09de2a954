// The "DSP" main-menu submenu and the chain edits it starts, through
// vel_vst.dll: each command opens a chain entry's popup on a thread of its
// own, and the reported preset comes back into the chain on the main thread.
#include <gtest/gtest.h>

#include "../support/plugin_hooks.h"
#include "main_menu_fixture.h"

using namespace menu_tests;

namespace {

const GUID k_dsp_group = {0x44963E7A, 0x4B2A, 0x4588, {0xB0, 0x17, 0xA8, 0x69, 0x18, 0xCB, 0x8A, 0xA5}};

TEST_F(MainMenu, RegistersTheDspSubmenuAndFifteenFixedCommands) {
    start_with({});
    auto group = host->service<mainmenu_group>();
    service_ptr_t<mainmenu_group_popup> popup;
    ASSERT_TRUE(group.query_as(popup));
    string8 name;
    popup->get_display_string(name);
    EXPECT_EQ(name.str(), "DSP");
    EXPECT_EQ(popup->get_guid(), k_dsp_group);
    EXPECT_EQ(popup->get_parent(), (GUID{0xF8BE5604, 0x165F, 0x4BB9, {0xB6, 0xA9, 0x15, 0xE5, 0x5E, 0x0E, 0x0D, 0x3A}}));
    EXPECT_EQ(popup->get_sort_priority(), 0x10000u);

    EXPECT_EQ(commands->get_parent(), k_dsp_group);
    // Before the first count the cache is empty: nothing is shown.
    bool shown = true;
    flags_of(0, &shown);
    EXPECT_FALSE(shown);
    ASSERT_EQ(commands->get_command_count(), 15u);
    struct { std::uint32_t index; unsigned short third; const char* name; } cases[] = {
        {0, 0x4833, "DSP #1 config"}, {9, 0x483C, "DSP #10 config"}, {14, 0x4841, "DSP #15 config"}};
    for (const auto& c : cases) {
        GUID expected{0xC047C332, 0xE32C, c.third, {0x96, 0x90, 0x27, 0xE1, 0x6B, 0xE2, 0x54, 0x68}};
        EXPECT_EQ(commands->get_command(c.index), expected) << c.index;
        string8 text, description;
        commands->get_name(c.index, text);
        EXPECT_EQ(text.str(), c.name);
        EXPECT_TRUE(commands->get_description(c.index, description));
        EXPECT_EQ(description.str(), "Opens DSP configuration window.");
        EXPECT_EQ(commands->get_sort_priority(c.index), 0x80000000u);
    }
}

TEST_F(MainMenu, DisplayStateShowsOneCommandPerChainEntryNamedAfterItsDsp) {
    const dsp_preset_impl unknown = keyed(GUID{1, 2, 3, {4}}, 7);
    start_with({painter, recorder, unknown});
    commands->get_command_count();
    struct { std::uint32_t index; bool shown; const char* text; std::uint32_t flags; } cases[] = {
        {0, true, "Orvane Painter", 0x10}, {1, true, "Recorder", 0x10},
        {2, true, "as it came", 0x11},  // no DSP registered for it: disabled, text untouched
        {3, false, "as it came", 0x10}, {14, false, "as it came", 0x10}};
    for (const auto& c : cases) {
        string8 text("as it came");
        std::uint32_t flags = 0x10;  // a bit of the host's own: only ever added to
        EXPECT_EQ(commands->get_display(c.index, text, flags), c.shown) << c.index;
        EXPECT_EQ(text.str(), c.text) << c.index;
        EXPECT_EQ(flags, c.flags) << c.index;
    }
}

TEST_F(MainMenu, AChainLongerThanFifteenHasNoCommandFromTheSixteenthOn) {
    std::initializer_list<dsp_preset_impl> seventeen = {recorder, recorder, recorder, recorder, recorder, recorder,
                                                        recorder, recorder, recorder, recorder, recorder, recorder,
                                                        recorder, recorder, recorder, painter,  painter};
    start_with(seventeen);
    ASSERT_EQ(commands->get_command_count(), 15u);
    struct row {
        std::uint32_t index;
        bool shown;
        const char* text;
    } rows[] = {{14, true, "Recorder"}, {15, false, "as it came"}, {16, false, "as it came"}};
    for (const row& r : rows) {
        string8 text("as it came");
        std::uint32_t flags = 0;
        EXPECT_EQ(commands->get_display(r.index, text, flags), r.shown) << r.index;
        EXPECT_EQ(text.str(), r.text) << r.index;
        EXPECT_EQ(flags, 0u) << r.index;
    }
}

TEST_F(MainMenu, AnEntryUnderAMenuEditIsCheckedAndDisabled) {
    start_with({painter, painter, recorder});
    commands->get_command_count();
    commands->execute(1, nullptr);
    HWND editor = editor_window(L"Orvane Painter");
    ASSERT_TRUE(editor);
    plugin_hooks dll("painter");
    EXPECT_NE(dll.opcode_thread(effEditOpen), GetCurrentThreadId());
    // Equal entries stand for the same menu edit.
    EXPECT_EQ(flags_of(0), 3u);
    EXPECT_EQ(flags_of(1), 3u);
    EXPECT_EQ(flags_of(2), 0u);

    PostMessageW(editor, WM_CLOSE, 0, 0);
    ASSERT_TRUE(pump_until([&] { return writes.size() == 1; }));
    // The edit started from the second of two equal entries replaces only the first.
    EXPECT_FALSE(chain().get_item(0).equals(painter));
    EXPECT_TRUE(chain().get_item(1).equals(painter));
    commands->get_command_count();
    EXPECT_TRUE(wait_until([&] { return flags_of(0) == 0; }));
}

// Executing an entry under a menu edit, or one equal to it, starts nothing:
// once the component has stopped, which waits for every menu edit it
// started, the popup has been asked for once.
TEST_F(MainMenu, AnEntryUnderAMenuEditCannotStartASecondOne) {
    const dsp_preset_impl player = keyed(k_player_dsp, 1);
    start_with({player, player});
    ResetEvent(eq.gate.get());
    commands->get_command_count();
    commands->execute(1, nullptr);
    ASSERT_TRUE(wait_until([&] { return eq.shown.load(); }));
    commands->execute(1, nullptr);
    commands->execute(0, nullptr);
    SetEvent(eq.gate.get());
    quit();
    EXPECT_EQ(eq.calls.load(), 1);
}

TEST_F(MainMenu, TwoMenuEditsClosedOneAfterTheOtherLandInOrder) {
    start_with({painter, no_rect});
    commands->get_command_count();
    commands->execute(0, nullptr);
    commands->execute(1, nullptr);
    HWND first = editor_window(L"Orvane Painter"), second = editor_window(L"No Rect");
    ASSERT_TRUE(first && second);

    PostMessageW(first, WM_CLOSE, 0, 0);
    ASSERT_TRUE(wait_until([&] { return host->queue().pending() == 1; }));
    PostMessageW(second, WM_CLOSE, 0, 0);
    // The second report, inside its window's close-down, waits on the sync
    // event that the first job sets once the main thread has run it: a
    // signal given in the job's place is taken by that report, and until
    // then nothing more is queued.
    unique_handle sync(OpenEventW(EVENT_ALL_ACCESS, FALSE, L"DspMenuCallbackSync"));
    ASSERT_TRUE(sync);
    bool taken = wait_until([&] {
        const std::size_t pending = host->queue().pending();
        SetEvent(sync.get());
        if (WaitForSingleObject(sync.get(), 0) == WAIT_TIMEOUT) return true;  // a waiter had it
        EXPECT_EQ(pending, 1u);
        return false;
    });
    EXPECT_TRUE(taken);
    EXPECT_TRUE(writes.empty());
    ASSERT_TRUE(pump_until([&] { return writes.size() == 2; }));

    // First write: entry 0 replaced, entry 1 as it was; second write: both.
    EXPECT_FALSE(writes[0].get_item(0).equals(painter));
    EXPECT_TRUE(writes[0].get_item(1).equals(no_rect));
    EXPECT_TRUE(writes[1].get_item(0).equals(writes[0].get_item(0)));
    EXPECT_FALSE(writes[1].get_item(1).equals(no_rect));
    EXPECT_EQ(writes[1].get_item(1).get_owner(), plugin_guid(k_no_rect_id));
}

TEST_F(MainMenu, ADspRemovedWhileItsPopupIsOpenChangesNothing) {
    start_with({painter});
    commands->get_command_count();
    commands->execute(0, nullptr);
    HWND editor = editor_window(L"Orvane Painter");
    ASSERT_TRUE(editor);
    host->chain().write_chain(dsp_chain_config_impl());
    writes.clear();
    PostMessageW(editor, WM_CLOSE, 0, 0);
    ASSERT_TRUE(pump_until([&] { return !IsWindow(editor) && host->queue().pending() == 0; }));
    host->pump();
    EXPECT_TRUE(writes.empty());
    EXPECT_EQ(chain().get_count(), 0u);
}

TEST_F(MainMenu, APopupOfTheFirstInterfaceReportsOnlyWhenItAnswersTrue) {
    for (bool answer : {false, true}) {
        SCOPED_TRACE(answer);
        start_with({keyed(k_player_dsp, 1)});
        eq.answer = answer;
        eq.shown = false;
        commands->get_command_count();
        EXPECT_EQ(flags_of(0), 0u);
        commands->execute(0, nullptr);
        ASSERT_TRUE(wait_until([&] { return eq.shown.load(); }));
        // The menu edit has ended once its entry is no longer marked.
        ASSERT_TRUE(pump_until([&] {
            commands->get_command_count();
            return flags_of(0) == 0 || !writes.empty();
        }));
        host->pump();
        if (answer) {
            ASSERT_EQ(writes.size(), 1u);
            EXPECT_EQ(std::string(static_cast<const char*>(chain().get_item(0).get_data()), 6), "edited");
        } else {
            EXPECT_TRUE(writes.empty());
            EXPECT_EQ(host->queue().pending(), 0u);
        }
        TearDown();
        commands.reset();
        host.reset();
        writes.clear();
    }
}

}  // namespace

// The "DSP" main-menu submenu and the chain edits it starts, through
// vel_vst.dll: each command opens a chain entry's popup on a thread of its
// own, and the reported preset comes back into the chain on the main thread.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>

#include "../../Helpers/win32_handles.h"
#include "../../host/exceptions.h"
#include "../../host/mainmenu.h"
#include "../support/component_fixture.h"
#include "../support/plugin_hooks.h"
#include "../support/window_probe.h"

namespace {

constexpr unsigned k_painter_id = 0x4F506E74, k_no_rect_id = 0x4F4E5274, k_recorder_id = 0x4F526563;
const GUID k_dsp_group = {0x44963E7A, 0x4B2A, 0x4588, {0xB0, 0x17, 0xA8, 0x69, 0x18, 0xCB, 0x8A, 0xA5}};
const GUID k_player_dsp = {0x1D7EA62B, 0x0C44, 0x4C1B, {0x9A, 0x33, 0x51, 0x0E, 0x2F, 0x6A, 0x77, 0x10}};

const GUID k_player_dsp_v2 = {0x5C1F0A2E, 0x7B3D, 0x4E21, {0x8F, 0x44, 0x2A, 0x91, 0x06, 0xC3, 0x5D, 0x17}};

// A DSP of the player itself, of the first interface: its popup answers as
// told, once `gate` lets it.
class player_dsp : public dsp_entry {
public:
    bool query(service_base*& out, const GUID& guid) override {
        return answer_query<player_dsp, dsp_entry>(this, out, guid);
    }
    void get_name(string_base& out) override { out.set_string("Player EQ"); }
    bool get_default_preset(dsp_preset&) override { return false; }
    bool instantiate(service_ptr_t<dsp>&, const dsp_preset&) override { return false; }
    GUID get_guid() override { return k_player_dsp; }
    bool has_config_popup() override { return true; }
    bool show_config_popup(dsp_preset& preset, HWND) override {
        ++calls;
        shown = true;
        WaitForSingleObject(gate.get(), 10000);
        if (answer) preset.set_data("edited", 6);
        return answer;
    }
    bool answer = false;
    std::atomic<bool> shown{false};
    std::atomic<int> calls{0};
    unique_handle gate{CreateEventW(nullptr, TRUE, TRUE, nullptr)};
};

// A DSP of the player of the second interface: its popup does what the
// test says with the preset and the callback.
class player_dsp_v2 : public dsp_entry_v2 {
public:
    bool query(service_base*& out, const GUID& guid) override {
        return answer_query<player_dsp_v2, dsp_entry_v2, dsp_entry>(this, out, guid);
    }
    void get_name(string_base& out) override { out.set_string("Player Reverb"); }
    bool get_default_preset(dsp_preset&) override { return false; }
    bool instantiate(service_ptr_t<dsp>&, const dsp_preset&) override { return false; }
    GUID get_guid() override { return k_player_dsp_v2; }
    bool has_config_popup() override { return true; }
    bool show_config_popup(dsp_preset&, HWND) override { return false; }
    void show_config_popup_v2(const dsp_preset& preset, HWND, dsp_preset_edit_callback& callback) override {
        if (popup) popup(preset, callback);
    }
    std::function<void(const dsp_preset&, dsp_preset_edit_callback&)> popup;
};

class MainMenu : public ComponentFixture {
protected:
    void start_with(std::initializer_list<dsp_preset_impl> entries) {
        dsp_chain_config_impl chain;
        for (const auto& e : entries) chain.add_item(e);
        start({plugin_record("painter", k_painter_id, "Orvane Painter"),
               plugin_record("no_rect", k_no_rect_id, "No Rect"),
               plugin_record("recorder", k_recorder_id, "Recorder")},
              {}, &chain);
        host->add_service(dsp_entry::class_guid, [this] { return &eq; });
        host->add_service(dsp_entry::class_guid, [this] { return &reverb; });
        host->chain().add_listener([this](const dsp_chain_config& c) {
            dsp_chain_config_impl copy;
            copy.copy_from(c);
            writes.push_back(copy);
        });
        commands = host->service<mainmenu_commands>();
    }
    // Menu edits still running use the player's services: they end first.
    void TearDown() override {
        SetEvent(eq.gate.get());
        if (!host || !commands) return;
        EXPECT_TRUE(pump_until([&] {
            commands->get_command_count();
            for (std::uint32_t i = 0; i < chain().get_count() && i < 15; ++i)
                if (flags_of(i) & mainmenu_commands::flag_checked) return false;
            return true;
        }));
    }
    // Pumps the main-thread queue until `done`.
    bool pump_until(const std::function<bool()>& done) {
        return wait_until([&] {
            host->pump();
            return done();
        });
    }
    dsp_chain_config_impl chain() {
        dsp_chain_config_impl c;
        host->chain().read_chain(c);
        return c;
    }
    std::uint32_t flags_of(std::uint32_t index, bool* shown = nullptr) {
        string8 text;
        std::uint32_t flags = 0;
        bool s = commands->get_display(index, text, flags);
        if (shown) *shown = s;
        return flags;
    }
    HWND editor_window(const wchar_t* title, HWND except = nullptr) {
        HWND w = nullptr;
        wait_until([&] { return (w = find_dialog(title, 0, except)) != nullptr; });
        return w;
    }

    service_ptr_t<mainmenu_commands> commands;
    // Stops the component as the player does when it quits; the command set
    // goes with it.
    void quit() {
        commands.reset();
        host->stop();
    }

    service_impl_single_t<player_dsp> eq;
    service_impl_single_t<player_dsp_v2> reverb;
    std::vector<dsp_chain_config_impl> writes;
    dsp_preset_impl painter = keyed(plugin_guid(k_painter_id), 40001);
    dsp_preset_impl no_rect = keyed(plugin_guid(k_no_rect_id), 40002);
    dsp_preset_impl recorder = keyed(plugin_guid(k_recorder_id), 40003);
};

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

// Where each plug-in runs, on the "VST plug-ins" page of the component
// loaded from its DLL: the "Process" column (a plug-in moved there after a
// crash too), the switch over the selected rows, apply and reset, and the
// check of a plug-in that is added, made in a process of its own.
#include <gtest/gtest.h>
#include <windows.h>

#include "../../Helpers/utf.h"
#include "../support/page_fixture.h"
#include "../support/plugin_hooks.h"

namespace {

const int k_process = 4;
const int k_switch = 1011;
const int k_remove = 1006;
const unsigned k_choice_changed = 9;  // changed and resettable, no restart

class ProcessColumn : public PageFixture {
protected:
    // fx0 is chosen to run in its own process, fx1 and fx3 are not, and the
    // third row is a DLL of the other architecture.
    void open_rows(bool every_plugin) {
        rows = numbered(4);
        rows[2] = {wide_to_utf8(other_architecture_plugin_dll("recorder")), "Recorder", identifier_text(0x4F526563)};
        open(rows, false, process_configuration({guid_of(0)}, every_plugin));
    }
    static GUID guid_of(int row) { return plugin_guid(0x1000 + static_cast<unsigned>(row)); }
    std::vector<std::string> processes() { return driver->column(k_process); }
    LRESULT switch_check() { return SendMessageW(driver->control(k_switch), BM_GETCHECK, 0, 0); }
    bool switch_enabled() { return IsWindowEnabled(driver->control(k_switch)) != FALSE; }
    // The choice the component keeps, as it would store it.
    std::vector<unsigned char> kept_choice() {
        return configuration_records(host->save_configuration()).at(k_process_choice_record);
    }

    std::vector<list_record> rows;
    const std::string foreign = other_architecture_process_text();
};

TEST_F(ProcessColumn, ShowsWhereEachRowRuns) {
    open_rows(false);
    EXPECT_EQ(processes(), (std::vector<std::string>{"own", "player", foreign, "player"}));
    instance.reset();
    DestroyWindow(parent);
    host.reset();
    // "Run every plug-in in its own process" over the choice of each.
    open_rows(true);
    EXPECT_EQ(processes(), (std::vector<std::string>{"own", "own (all)", foreign, "own (all)"}));
}

TEST_F(ProcessColumn, TheSwitchFollowsTheSelectedRows) {
    open_rows(false);
    struct {
        std::vector<int> selected;
        LRESULT check;
        bool enabled;
    } cases[] = {
        {{}, BST_UNCHECKED, false},   {{0}, BST_CHECKED, true},     {{1}, BST_UNCHECKED, true},
        {{0, 1}, BST_INDETERMINATE, true}, {{2}, BST_CHECKED, false}, {{1, 2}, BST_UNCHECKED, true},
    };
    for (const auto& c : cases) {
        driver->select(c.selected);
        EXPECT_EQ(switch_check(), c.check) << ::testing::PrintToString(c.selected);
        EXPECT_EQ(switch_enabled(), c.enabled) << ::testing::PrintToString(c.selected);
    }
    // Nothing to switch: the click changes nothing.
    driver->select({2});
    driver->click(k_switch);
    EXPECT_EQ(processes(), (std::vector<std::string>{"own", "player", foreign, "player"}));
    EXPECT_EQ(callback.notifications, 0);
    EXPECT_EQ(instance->get_state(), 0u);
}

TEST_F(ProcessColumn, AChoiceIsAppliedWithThePageAndResetTakesItBack) {
    open_rows(false);
    const auto list_before = read_file_bytes(profile.file(L"vst_entries.bin"));
    driver->select({0, 1, 2});
    driver->click(k_switch);  // some were in their own: now all are
    EXPECT_EQ(processes(), (std::vector<std::string>{"own", "own", foreign, "player"}));
    EXPECT_EQ(switch_check(), BST_CHECKED);
    EXPECT_EQ(callback.notifications, 1);
    EXPECT_EQ(callback.last_state, k_choice_changed);
    EXPECT_EQ(kept_choice(), process_choice_body({guid_of(0)}));  // not before apply

    instance->apply();
    EXPECT_EQ(kept_choice(), process_choice_body({guid_of(0), guid_of(1)}));
    EXPECT_EQ(instance->get_state(), 0u);
    EXPECT_EQ(read_file_bytes(profile.file(L"vst_entries.bin")), list_before);

    driver->click(k_switch);  // all were: now none is
    EXPECT_EQ(processes(), (std::vector<std::string>{"player", "player", foreign, "player"}));
    EXPECT_EQ(instance->get_state(), k_choice_changed);
    instance->reset();
    EXPECT_EQ(processes(), (std::vector<std::string>{"own", "own", foreign, "player"}));
    EXPECT_EQ(instance->get_state(), 0u);

    // A plug-in that leaves the list takes its choice along.
    driver->select({1});
    driver->click(k_remove);
    instance->apply();
    EXPECT_EQ(kept_choice(), process_choice_body({guid_of(0)}));

    // Cancel: the page goes without apply, and the choice stays as applied.
    driver->select({0});
    driver->click(k_switch);
    instance.reset();
    EXPECT_EQ(kept_choice(), process_choice_body({guid_of(0)}));
}

// A plug-in moved into its own process after a crash, until the user
// switches its row: from then on it is the user's choice like any other.
TEST_F(ProcessColumn, AMoveAfterACrashShowsUntilItsRowIsSwitched) {
    rows = numbered(3);
    open(rows, false, process_configuration({guid_of(0), guid_of(1)}, false, {guid_of(1)}));
    EXPECT_EQ(processes(), (std::vector<std::string>{"own", "own (after a crash)", "player"}));
    const auto kept_marks = [&] {
        return configuration_records(host->save_configuration()).at(k_moved_after_crash_record);
    };
    EXPECT_EQ(kept_marks(), process_choice_body({guid_of(1)}));

    driver->select({1});
    EXPECT_EQ(switch_check(), BST_CHECKED);
    driver->click(k_switch);
    EXPECT_EQ(processes(), (std::vector<std::string>{"own", "player", "player"}));
    driver->click(k_switch);
    EXPECT_EQ(processes(), (std::vector<std::string>{"own", "own", "player"}));
    EXPECT_EQ(instance->get_state(), k_choice_changed);
    instance->reset();
    EXPECT_EQ(processes(), (std::vector<std::string>{"own", "own (after a crash)", "player"}));

    // Switched on together with a row in the player's process: both are the
    // user's choice now.
    driver->select({1, 2});
    EXPECT_EQ(switch_check(), BST_INDETERMINATE);
    driver->click(k_switch);
    EXPECT_EQ(processes(), (std::vector<std::string>{"own", "own", "own"}));
    instance->apply();
    EXPECT_EQ(kept_choice(), process_choice_body({guid_of(0), guid_of(1), guid_of(2)}));
    EXPECT_EQ(kept_marks(), process_choice_body({}));
}

// A plug-in that hangs or crashes while it loads costs the page a message.
TEST_F(ProcessColumn, AnAddedPluginIsCheckedInAProcessOfItsOwn) {
    open(numbered(2));
    const std::string k_break = "\r\n\r\n";
    struct {
        const char* dll;
        const char* diagnosis;
    } cases[] = {
        {"fault_entry", "The VST plug-in crashed in its entry function (access violation)."},
        {"fault_loop_open", "The VST plug-in stopped answering in effOpen (its process was ended)."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dll);
        host->popups().clear();
        ASSERT_TRUE(driver->add(plugin_dll(c.dll)));
        EXPECT_TRUE(IsWindow(instance->get_wnd()));
        EXPECT_EQ(host->popups().messages(),
                  (std::vector<popup_record>{{c.diagnosis + k_break + wide_to_utf8(plugin_dll(c.dll)), "Error",
                                              popup_message::icon_error}}));
        EXPECT_EQ(driver->rows(), (std::vector<row_texts>{row_of(numbered(2)[0]), row_of(numbered(2)[1])}));
        EXPECT_EQ(callback.notifications, 0);
        EXPECT_EQ(instance->get_state(), 0u);
    }

    plugin_hooks gain("gain");
    gain.clear();
    host->popups().clear();
    ASSERT_TRUE(driver->add(plugin_dll("gain")));
    EXPECT_EQ(driver->rows().back(), plugin_row("gain", "Orvane Gain"));
    EXPECT_EQ(processes().back(), "player");  // checked apart, chosen as every plug-in is
    // Opened once, and not by this process (which would note its thread).
    EXPECT_EQ(gain.calls(effOpen), 1);
    EXPECT_EQ(gain.opcode_thread(effOpen), 0u);
    EXPECT_TRUE(host->popups().messages().empty());
}

}  // namespace

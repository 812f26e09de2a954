// The stand-in's preferences window around the component's page: the page
// tree, the page shown as its child, and the buttons that follow its state.
#include <gtest/gtest.h>
#include <windows.h>

#include "../../host_standin/preferences_window.h"
#include "../support/component_fixture.h"
#include "../support/page_driver.h"

namespace {

const GUID k_page_guid = {0x89C112F4, 0xCDA2, 0x4554, {0x91, 0x8A, 0xE7, 0x56, 0xEA, 0x60, 0x8B, 0x94}};

class PrefsWindow : public ComponentFixture {};

TEST_F(PrefsWindow, HostsThePageAndFollowsItsState) {
    start({plugin_record("gain", 0x4F47616E, "Orvane Gain"), plugin_record("six_out", 0x4F536978, "Six Out")});
    preferences_window window(*host, nullptr);
    EXPECT_EQ(window.tree_lines(), (std::vector<std::string>{"Tools", "  VST plug-ins"}));
    ASSERT_TRUE(window.show_page(k_page_guid));
    HWND page = window.current()->get_wnd();
    EXPECT_EQ(GetParent(page), window.hwnd());
    EXPECT_TRUE(IsWindowVisible(page));
    HWND apply = GetDlgItem(window.hwnd(), preferences_window::id_apply);
    HWND note = GetDlgItem(window.hwnd(), preferences_window::id_note);
    EXPECT_FALSE(IsWindowEnabled(apply));
    EXPECT_FALSE(IsWindowVisible(note));

    page_driver driver(page);
    EXPECT_EQ(driver.rows().size(), 2u);
    driver.select({0});
    driver.click(1006);
    EXPECT_TRUE(IsWindowEnabled(apply));
    EXPECT_TRUE(IsWindowVisible(note));

    SendMessageW(window.hwnd(), WM_COMMAND, MAKEWPARAM(preferences_window::id_apply, BN_CLICKED), 0);
    EXPECT_TRUE(window.outcome().applied);
    EXPECT_TRUE(window.outcome().needs_restart);
    EXPECT_FALSE(window.closed());
    auto bytes = read_file_bytes(profile.file(L"vst_entries.bin"));
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes[0], 1);

    SendMessageW(window.hwnd(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_TRUE(window.closed());
}

TEST_F(PrefsWindow, UnknownPageIsAnError) {
    start({});
    const GUID nowhere = {0x1, 0x2, 0x3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_THROW(run_preferences_window(*host, nullptr, &nowhere), host_exception);
}

}  // namespace

// The player stand-in's main window: its menu bar carries the component's
// "DSP" submenu, whose commands open chain entries' editors, and the chain
// follows what the user leaves there.
#include <gtest/gtest.h>

#include <thread>

#include "../support/component_fixture.h"
#include "../support/window_probe.h"

namespace {

constexpr unsigned k_painter_id = 0x4F506E74, k_recorder_id = 0x4F526563;

HMENU submenu_named(HMENU menu, const std::wstring& text) {
    auto entries = menu_entries(menu);
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (entries[i].text == text) return GetSubMenu(menu, static_cast<int>(i));
    return nullptr;
}

class PlayerWindow : public ComponentFixture {
protected:
    void SetUp() override {
        dsp_chain_config_impl chain;
        chain.add_item(painter);
        chain.add_item(keyed(plugin_guid(k_recorder_id), 40002));
        start({plugin_record("painter", k_painter_id, "Orvane Painter"),
               plugin_record("recorder", k_recorder_id, "Recorder")},
              {}, &chain);
    }
    dsp_chain_config_impl chain() {
        dsp_chain_config_impl c;
        host->chain().read_chain(c);
        return c;
    }
    // Runs the window's loop here while `drive` works it from a helper thread.
    void run_window(const std::function<void(HWND)>& drive) {
        HWND main = host->api().main_window();
        std::thread helper([&] {
            wait_until([&] { return IsWindowVisible(main) != FALSE; });
            drive(main);
            PostMessageW(main, WM_CLOSE, 0, 0);
        });
        host->window().run();
        helper.join();
    }

    dsp_preset_impl painter = keyed(plugin_guid(k_painter_id), 40001);
};

TEST_F(PlayerWindow, TheDspSubmenuOpensAnEditorAndTheChainFollows) {
    std::vector<menu_entry> bar, file, dsp_before, dsp_during;
    bool chain_followed = false;
    run_window([&](HWND main) {
        HMENU menu = GetMenu(main);
        bar = menu_entries(menu);
        file = menu_entries(GetSubMenu(menu, 0));
        HMENU dsp = submenu_named(submenu_named(menu, L"&Playback"), L"DSP");
        ASSERT_TRUE(dsp);
        SendMessageW(main, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(dsp), 0);
        dsp_before = menu_entries(dsp);
        ASSERT_EQ(dsp_before.size(), 2u);
        SendMessageW(main, WM_COMMAND, dsp_before[0].id, 0);
        HWND editor = nullptr;
        ASSERT_TRUE(wait_until([&] { return (editor = find_dialog(L"Orvane Painter")) != nullptr; }));
        SendMessageW(main, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(dsp), 0);
        dsp_during = menu_entries(dsp);
        PostMessageW(editor, WM_CLOSE, 0, 0);
        // The window's own loop runs the chain edit on the main thread.
        chain_followed = wait_until([&] { return !chain().get_item(0).equals(painter); });
    });
    ASSERT_EQ(bar.size(), 2u);
    EXPECT_EQ(bar[0].text, L"&File");
    EXPECT_EQ(bar[1].text, L"&Playback");
    ASSERT_EQ(file.size(), 3u);
    EXPECT_EQ(file[0].text, L"&Preferences...");
    EXPECT_TRUE(file[0].state & MFS_GRAYED);  // no preferences window given
    EXPECT_EQ(file[2].text, L"E&xit");
    EXPECT_EQ(dsp_before[0].text, L"Orvane Painter");
    EXPECT_EQ(dsp_before[1].text, L"Recorder");
    constexpr UINT marks = MF_GRAYED | MFS_CHECKED;
    EXPECT_EQ(dsp_before[0].state & marks, 0u);
    ASSERT_EQ(dsp_during.size(), 2u);
    EXPECT_EQ(dsp_during[0].state & marks, marks);
    EXPECT_EQ(dsp_during[1].state & marks, 0u);
    EXPECT_TRUE(chain_followed);
    EXPECT_EQ(chain().get_item(0).get_owner(), plugin_guid(k_painter_id));
}

TEST_F(PlayerWindow, PreferencesCallTheHandlerTheWindowWasGiven) {
    HWND given = nullptr;
    host->window().set_preferences_handler([&](HWND owner) { given = owner; });
    UINT state = 0;
    run_window([&](HWND main) {
        state = menu_entries(GetSubMenu(GetMenu(main), 0))[0].state;
        SendMessageW(main, WM_COMMAND, k_menu_preferences, 0);
    });
    EXPECT_EQ(state & MFS_GRAYED, 0u);
    EXPECT_EQ(given, host->api().main_window());
}

}  // namespace

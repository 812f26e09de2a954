// The editor of a plug-in whose process of its own ends while the window is
// open closes, with the restart's message and the settings it was opened
// with; opened again, it shows the restarted plug-in.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "../../dsp/config_popup.h"
#include "../../shell/identifier_text.h"
#include "../../vst/isolated_plugin.h"
#include "../../vst/shared_instances.h"
#include "../../vst/vst.h"
#include "../support/fault_settings.h"
#include "../support/linked_host.h"
#include "../support/plugin_hooks.h"
#include "../support/plugin_places.h"
#include "../support/window_probe.h"

namespace {

constexpr int k_width = 320, k_height = 200;

struct preset_log final : dsp_preset_edit_callback {
    void on_preset_changed(const dsp_preset& p) override { presets.emplace_back(p); }
    std::vector<dsp_preset_impl> presets;
};

// Opens the editor on this thread and runs `while_open` on another once
// its window shows the plug-in's pixels; whether they showed.
template <class F>
bool with_editor(const entry& slot, const dsp_preset& preset, preset_log& reports, F&& while_open) {
    std::atomic<bool> returned{false};
    bool painted = false;
    const DWORD me = GetCurrentThreadId();
    std::thread helper([&] {
        HWND w = nullptr;
        wait_until([&] { return (w = find_dialog(nullptr, me)) != nullptr || returned; });
        if (!w) return;
        // A bridge's first paint can take seconds on a machine busy with
        // other tests' windows.
        painted = wait_until([&] { return screen_pixel(w, 3 * k_width / 4, 3 * k_height / 4) == RGB(255, 255, 0); },
                             10000);
        while_open(w);
    });
    show_config_popup_with_callback(slot, preset, nullptr, reports);
    returned = true;
    helper.join();
    return painted;
}

TEST(IsolatedRestartEditor, ClosesWhenItsPlugInIsRestartedAndOpensOnTheNewOne) {
    linked_host host;
    fault_settings settings(true, false);
    isolation_choice isolated(plugin_place::own_process);
    plugin_hooks painter("painter");
    entry slot(painter.path_utf8());
    slot.has_editor = true;
    slot.product_name = "Orvane Painter";
    const std::uint32_t key = 41500;
    const dsp_preset_impl preset(identifier_from_unique_id(0x4F506E74),
                                 std::vector<unsigned char>(reinterpret_cast<const unsigned char*>(&key),
                                                            reinterpret_cast<const unsigned char*>(&key) + 4));
    vst* plugin = acquire_vst(slot, preset);
    ASSERT_TRUE(plugin->loaded) << plugin->diagnosis;
    const DWORD first = plugin->bridge()->process_id();

    // Its process ends under the open window, as a crash outside every call
    // of ours ends it.
    preset_log reports;
    bool closed_by_itself = false;
    const bool painted = with_editor(slot, preset, reports, [&](HWND w) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, first);
        ASSERT_NE(process, nullptr);
        TerminateProcess(process, 3);
        CloseHandle(process);
        closed_by_itself = wait_until([&] { return !IsWindow(w); }, 10000);
        if (!closed_by_itself) PostMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0);
    });
    EXPECT_TRUE(painted);
    EXPECT_TRUE(closed_by_itself);
    ASSERT_TRUE(wait_until([&] { return plugin->restarts.load() == 1; }, 20000));
    std::string shown;
    wait_until([&] {
        host->pump();
        const auto popups = host->popups().messages();
        if (!popups.empty()) shown = popups[0].text;
        return !popups.empty();
    }, 5000);
    const std::string start = "The VST plug-in \"Orvane Painter\" crashed in ";
    const std::string end = " (its process ended); it was restarted with its settings (1 of 3).";
    EXPECT_EQ(shown.substr(0, start.size()), start) << shown;
    ASSERT_GE(shown.size(), end.size());
    EXPECT_EQ(shown.substr(shown.size() - end.size()), end) << shown;
    // One report as the window closed: the settings it was opened with, or,
    // if the restart was over by then, those of the restarted plug-in.
    ASSERT_EQ(reports.presets.size(), 1u);
    EXPECT_TRUE(reports.presets[0].bytes() == preset.bytes() || reports.presets[0].get_data_size() == 16u);

    const DWORD second = plugin->bridge()->process_id();
    EXPECT_NE(second, first);
    preset_log again;
    EXPECT_TRUE(with_editor(slot, preset, again, [](HWND w) { PostMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0); }));
    ASSERT_EQ(again.presets.size(), 1u);
    EXPECT_EQ(again.presets[0].get_data_size(), 16u);  // captured from the restarted plug-in
    EXPECT_EQ(plugin->bridge()->process_id(), second);
    EXPECT_EQ(release_vst(plugin), nullptr);
}

}  // namespace

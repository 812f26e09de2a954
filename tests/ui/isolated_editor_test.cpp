// The editor of a plug-in in a process of its own shows in our editor
// window: its pixels are on the screen there, its size requests resize our
// window, it gets its idle calls, and it closes with our window.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "../../dsp/config_popup.h"
#include "../../shell/identifier_text.h"
#include "../../bridge/player/plugin_bridge.h"
#include "../../vst/shared_instances.h"
#include "../../vst/vst.h"
#include "../support/linked_host.h"
#include "../support/plugin_hooks.h"
#include "../support/plugin_places.h"
#include "../support/window_probe.h"

namespace {

constexpr UINT k_ask_size = WM_APP + 1;  // the painter's own size request
constexpr int k_width = 320, k_height = 200;

struct preset_log final : dsp_preset_edit_callback {
    void on_preset_changed(const dsp_preset& p) override { presets.emplace_back(p); }
    std::vector<dsp_preset_impl> presets;
};

TEST(IsolatedEditor, ShowsInOurWindowFollowsItsSizeRequestsAndClosesWithIt) {
    linked_host host;
    isolation_choice isolated(plugin_place::own_process);
    plugin_hooks painter("painter");
    entry slot(painter.path_utf8());
    slot.has_editor = true;
    slot.product_name = "Orvane Painter";
    const std::uint32_t key = 41000;
    const dsp_preset_impl preset(identifier_from_unique_id(0x4F506E74),
                                 std::vector<unsigned char>(reinterpret_cast<const unsigned char*>(&key),
                                                            reinterpret_cast<const unsigned char*>(&key) + 4));
    vst* plugin = acquire_vst(slot, preset);  // the chain's reference, so the window's is never the last
    ASSERT_TRUE(plugin->loaded) << plugin->diagnosis;
    ASSERT_TRUE(plugin->isolated());
    const DWORD bridge = plugin->bridge()->process_id();
    painter.clear();

    COLORREF quadrants[4] = {};
    SIZE client{}, resized{}, view_size{};
    bool idle_came = false, view_gone = false, frame_gone = false;
    preset_log reports;
    std::atomic<bool> returned{false};
    const DWORD me = GetCurrentThreadId();
    std::thread helper([&] {
        HWND w = nullptr;
        wait_until([&] { return (w = find_dialog(nullptr, me)) != nullptr || returned; });
        if (!w) return;
        client = client_size(w);
        const POINT at[4] = {{k_width / 4, k_height / 4}, {3 * k_width / 4, k_height / 4},
                             {k_width / 4, 3 * k_height / 4}, {3 * k_width / 4, 3 * k_height / 4}};
        // All four read in one look, until the view shows them all: our
        // window may erase its background again while the view repaints.
        const COLORREF colours[4] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 0)};
        wait_until([&] {
            bool all = true;
            for (int i = 0; i < 4; ++i) all &= (quadrants[i] = screen_pixel(w, at[i].x, at[i].y)) == colours[i];
            return all;
        }, 5000);
        idle_came = wait_until([&] { return painter.calls(effEditIdle) >= 2; }, 5000);

        // The plug-in's view, in its own process: a child of our window, or
        // of the window that holds it over ours.
        HWND holder = GetWindow(w, GW_CHILD) ? w : find_owned_window(bridge, w);
        HWND view = holder ? GetWindow(holder, GW_CHILD) : nullptr;
        if (view) {
            DWORD view_process = 0;
            GetWindowThreadProcessId(view, &view_process);
            EXPECT_EQ(view_process, bridge);
            // The request reaches us on a thread of the bridge's lane, and a
            // request from any thread but the window's is handed to it.
            SendMessageW(view, k_ask_size, 400, 300);
            wait_until([&] { return client_size(w).cx == 400; }, 5000);
            resized = client_size(w);
            wait_until([&] { return screen_pixel(w, 390, 290) == RGB(255, 255, 0); }, 5000);
            view_size = client_size(view);
        }
        PostMessageW(w, WM_CLOSE, 0, 0);
        view_gone = wait_until([&] { return view && !IsWindow(view); }, 5000);
        frame_gone = wait_until([&] { return find_owned_window(bridge, w) == nullptr; }, 5000);
    });
    show_config_popup_with_callback(slot, preset, nullptr, reports);
    returned = true;
    helper.join();

    EXPECT_EQ(client.cx, k_width);
    EXPECT_EQ(client.cy, k_height);
    EXPECT_EQ(quadrants[0], RGB(255, 0, 0));
    EXPECT_EQ(quadrants[1], RGB(0, 255, 0));
    EXPECT_EQ(quadrants[2], RGB(0, 0, 255));
    EXPECT_EQ(quadrants[3], RGB(255, 255, 0));
    EXPECT_TRUE(idle_came);
    EXPECT_EQ(resized.cx, 400);
    EXPECT_EQ(resized.cy, 300);
    EXPECT_EQ(view_size.cx, 400);
    EXPECT_EQ(view_size.cy, 300);
    EXPECT_TRUE(view_gone);
    EXPECT_TRUE(frame_gone);
    ASSERT_EQ(reports.presets.size(), 1u);
    EXPECT_EQ(reports.presets[0].get_data_size(), 16u);  // key, count, the painter's two values

    std::vector<std::string> editor_calls;
    for (const std::string& line : painter.opcodes())
        if (line.rfind("14 ", 0) == 0 || line.rfind("13 ", 0) == 0 || line.rfind("15 ", 0) == 0)
            editor_calls.push_back(line);
    EXPECT_EQ(editor_calls, (std::vector<std::string>{"14 0 0", "13 0 0", "15 0 0"}));
    EXPECT_EQ(release_vst(plugin), nullptr);
}

}  // namespace

#pragma once
// The plug-in's editor in the component's window, opened through the DSP
// settings path of vel_vst.dll: the component with four test plug-ins, and
// a popup run on the test's thread while a helper thread works its window.
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "../support/component_fixture.h"
#include "../support/plugin_hooks.h"
#include "../support/window_probe.h"

namespace editor_tests {

constexpr unsigned k_painter_id = 0x4F506E74;
constexpr unsigned k_no_rect_id = 0x4F4E5274;

struct preset_log final : dsp_preset_edit_callback {
    void on_preset_changed(const dsp_preset& p) override { presets.emplace_back(p); }
    std::vector<dsp_preset_impl> presets;
};

class EditorWindow : public ComponentFixture {
protected:
    void SetUp() override {
        start({plugin_record("painter", k_painter_id, "Orvane Painter"),
               plugin_record("no_rect", k_no_rect_id, "No Rect"), plugin_record("recorder", 0x4F526563, "Recorder"),
               plugin_record("fault_edit_open", 0x4F466C74, "Faulty")});
        painter.clear();
    }
    // Runs the popup on this thread, as the host's DSP settings do, while
    // `drive` runs on a helper thread with the editor window (null when none
    // opened). The window is closed after `drive` returns.
    std::vector<dsp_preset_impl> open(const std::string& name, const dsp_preset& preset, HWND parent,
                                      const std::function<void(HWND)>& drive) {
        preset_log log;
        std::atomic<bool> returned{false};
        const DWORD me = GetCurrentThreadId();
        std::thread helper([&] {
            HWND window = nullptr;
            wait_until([&] { return (window = find_dialog(nullptr, me)) != nullptr || returned; });
            drive(window);
            if (window) PostMessageW(window, WM_CLOSE, 0, 0);
        });
        effect(name)->show_config_popup_v2(preset, parent, log);
        returned = true;
        helper.join();
        return log.presets;
    }
    dsp_preset_impl painter_preset() { return keyed(plugin_guid(k_painter_id), 40000); }
    HWND main_window() { return host->api().main_window(); }

    plugin_hooks painter{"painter"};
};

}  // namespace editor_tests

#pragma once
// The "DSP" main-menu commands through vel_vst.dll, with a chain of the
// test's choosing, the component's test plug-ins and two DSPs of the player
// itself, one of each popup interface.
#include <windows.h>

#include <atomic>
#include <functional>
#include <vector>

#include "../../Helpers/win32_handles.h"
#include "../../host/mainmenu.h"
#include "../support/component_fixture.h"
#include "../support/window_probe.h"

namespace menu_tests {

constexpr unsigned k_painter_id = 0x4F506E74, k_no_rect_id = 0x4F4E5274, k_recorder_id = 0x4F526563;
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
    // `more` plug-ins are listed after the three test plug-ins.
    void start_with(std::initializer_list<dsp_preset_impl> entries, const std::vector<list_record>& more = {}) {
        dsp_chain_config_impl chain;
        for (const auto& e : entries) chain.add_item(e);
        std::vector<list_record> plugins = {plugin_record("painter", k_painter_id, "Orvane Painter"),
                                            plugin_record("no_rect", k_no_rect_id, "No Rect"),
                                            plugin_record("recorder", k_recorder_id, "Recorder")};
        plugins.insert(plugins.end(), more.begin(), more.end());
        start(plugins, {}, &chain);
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

}  // namespace menu_tests

// The plug-in's editor in the component's window, opened through the DSP
// settings path of vel_vst.dll, looked at and driven as real windows.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

#include <windows.h>

#include "editor_fixture.h"

using namespace editor_tests;

namespace {

constexpr UINT k_ask_size = WM_APP + 1;  // the painter's own size request
constexpr int k_width = 320, k_height = 200;

std::uint32_t key_of(const dsp_preset& p) {
    std::uint32_t key = 0;
    if (p.get_data_size() >= 4) std::memcpy(&key, p.get_data(), 4);
    return key;
}

// A key that no capture makes, so every report's key is new by construction.
HWND plugin_view(HWND editor) { return GetWindow(editor, GW_CHILD); }

// Runs one of the editor's program commands and answers its file dialog
// with `path`, the way a user types a name and presses the OK button.
bool choose_file(HWND editor, UINT command, const std::wstring& path) {
    PostMessageW(editor, WM_SYSCOMMAND, command, 0);
    HWND dialog = nullptr;
    if (!wait_until([&] { return (dialog = find_owned_dialog(editor)) != nullptr; })) return false;
    return answer_file_dialog(dialog, path);
}

float big_endian_float(const std::vector<unsigned char>& bytes, std::size_t at) {
    std::uint32_t bits = (std::uint32_t{bytes[at]} << 24) | (bytes[at + 1] << 16) | (bytes[at + 2] << 8) | bytes[at + 3];
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

TEST_F(EditorWindow, ShowsThePluginEditorUnderItsProductNameAndFollowsItsSize) {
    std::wstring title;
    SIZE client{}, resized{};
    POINT corner{}, resized_corner{};
    std::vector<menu_entry> system_menu;
    COLORREF quadrants[4] = {};
    auto reports = open("Orvane Painter", painter_preset(), main_window(), [&](HWND w) {
        ASSERT_TRUE(w);
        title = window_text(w);
        client = client_size(w);
        system_menu = menu_entries(GetSystemMenu(w, FALSE));
        const POINT at[4] = {{k_width / 4, k_height / 4}, {3 * k_width / 4, k_height / 4},
                             {k_width / 4, 3 * k_height / 4}, {3 * k_width / 4, 3 * k_height / 4}};
        wait_until([&] { return client_pixel(w, at[3].x, at[3].y) == RGB(255, 255, 0); }, 5000);
        for (int i = 0; i < 4; ++i) quadrants[i] = client_pixel(w, at[i].x, at[i].y);
        // A size request from the plug-in resizes the client area in place.
        corner = top_left(w);
        SendMessageW(plugin_view(w), k_ask_size, 400, 300);
        resized = client_size(w);
        resized_corner = top_left(w);
    });
    EXPECT_EQ(title, L"Orvane Painter");
    EXPECT_EQ(client.cx, k_width);
    EXPECT_EQ(client.cy, k_height);
    EXPECT_EQ(resized.cx, 400);
    EXPECT_EQ(resized.cy, 300);
    EXPECT_EQ(resized_corner.x, corner.x);
    EXPECT_EQ(resized_corner.y, corner.y);
    EXPECT_EQ(quadrants[0], RGB(255, 0, 0));
    EXPECT_EQ(quadrants[1], RGB(0, 255, 0));
    EXPECT_EQ(quadrants[2], RGB(0, 0, 255));
    EXPECT_EQ(quadrants[3], RGB(255, 255, 0));
    // Both items go in before the first item whose identifier is 0, load first.
    std::size_t load = system_menu.size();
    for (std::size_t i = 0; i < system_menu.size(); ++i)
        if (system_menu[i].id == 24) load = i;
    ASSERT_LT(load + 2, system_menu.size());
    EXPECT_EQ(system_menu[load].text, L"&Load program...");
    EXPECT_EQ(system_menu[load + 1].id, 23u);
    EXPECT_EQ(system_menu[load + 1].text, L"&Save program as...");
    EXPECT_EQ(system_menu[load + 2].id, 0u);
    for (std::size_t i = 0; i < load; ++i) EXPECT_NE(system_menu[i].id, 0u) << i;
    EXPECT_EQ(reports.size(), 1u);
}

// The commands the editor window receives, seen on its own thread.
std::mutex g_commands_mutex;
std::vector<WORD> g_commands;
HWND g_commands_of = nullptr;
LRESULT CALLBACK record_command(int code, WPARAM wparam, LPARAM lparam) {
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lparam);
    if (code == HC_ACTION && call->message == WM_COMMAND && call->hwnd == g_commands_of) {
        std::lock_guard<std::mutex> lock(g_commands_mutex);
        g_commands.push_back(LOWORD(call->wParam));
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

// The window runs as the system's modal dialogs do: the player's window,
// its owner, takes no input until it closes, and Escape and Enter in the
// plug-in's editor are the dialog's cancel and OK commands, which leave it
// open.
TEST_F(EditorWindow, IsModalOverThePlayerWindowAndKeepsTheDialogKeys) {
    HWND owner = main_window();
    ASSERT_TRUE(IsWindowEnabled(owner));
    HWND owned_by = nullptr;
    bool owner_enabled = true, still_open = false;
    std::vector<WORD> commands;
    auto reports = open("Orvane Painter", painter_preset(), owner, [&](HWND w) {
        ASSERT_TRUE(w);
        owned_by = GetWindow(w, GW_OWNER);
        owner_enabled = IsWindowEnabled(owner) != FALSE;
        g_commands_of = w;
        HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, record_command, nullptr, GetWindowThreadProcessId(w, nullptr));
        ASSERT_TRUE(hook);
        PostMessageW(plugin_view(w), WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageW(plugin_view(w), WM_KEYDOWN, VK_RETURN, 0);
        wait_until([&] {
            std::lock_guard<std::mutex> lock(g_commands_mutex);
            return g_commands.size() >= 2;
        });
        UnhookWindowsHookEx(hook);
        std::lock_guard<std::mutex> lock(g_commands_mutex);
        commands = g_commands;
        still_open = IsWindowVisible(w) != FALSE;
    });
    EXPECT_EQ(owned_by, owner);
    EXPECT_FALSE(owner_enabled);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(commands, (std::vector<WORD>{IDCANCEL, IDOK}));
    EXPECT_TRUE(still_open);
    EXPECT_EQ(reports.size(), 1u);
}

TEST_F(EditorWindow, ReportsOnceWithAFreshKeyAndTheSameOwnerAfterTheEditorOpcodesOnItsThread) {
    // A DSP instance keeps the plug-in alive, as the playback chain does.
    service_ptr_t<dsp> playing;
    ASSERT_TRUE(effect("Orvane Painter")->instantiate(playing, painter_preset()));
    auto reports = open("Orvane Painter", painter_preset(), main_window(), [&](HWND w) {
        ASSERT_TRUE(w);
        wait_until([&] { return painter.opcode_thread(effEditIdle) != 0; }, 5000);
    });
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].get_owner(), plugin_guid(k_painter_id));
    EXPECT_LE(key_of(reports[0]), 32767u);
    // Parameter form: key, count 2, the two values the plug-in holds.
    ASSERT_EQ(reports[0].get_data_size(), 16u);
    float values[2];
    std::memcpy(values, static_cast<const unsigned char*>(reports[0].get_data()) + 8, 8);
    EXPECT_EQ(values[0], 0.5f);
    EXPECT_EQ(values[1], 0.5f);

    std::vector<std::string> editor_calls;
    for (const std::string& line : painter.opcodes())
        if (line.rfind("14 ", 0) == 0 || line.rfind("13 ", 0) == 0 || line.rfind("15 ", 0) == 0)
            editor_calls.push_back(line);
    EXPECT_EQ(editor_calls, (std::vector<std::string>{"14 0 0", "13 0 0", "15 0 0"}));
    for (int opcode : {effEditOpen, effEditGetRect, effEditIdle, effEditClose})
        EXPECT_EQ(painter.opcode_thread(opcode), GetCurrentThreadId()) << opcode;

    // The plug-in now stands for the reported preset: a DSP made from it
    // shares the running plug-in instead of loading another.
    painter.clear();
    service_ptr_t<dsp> next;
    ASSERT_TRUE(effect("Orvane Painter")->instantiate(next, reports[0]));
    EXPECT_EQ(painter.opcode_thread(effOpen), 0u);
}

TEST_F(EditorWindow, SavesAndLoadsAProgramThroughTheSystemMenuAndItsFileDialogs) {
    const std::wstring saved = profile.file(L"program.fxp");
    // The dialogs ask for a file that exists, the save dialog too.
    write_file_bytes(saved, {1, 2, 3});
    std::vector<unsigned char> file;
    bool saved_ok = false, loaded_ok = false;
    auto reports = open("Orvane Painter", painter_preset(), main_window(), [&](HWND w) {
        ASSERT_TRUE(w);
        AEffect* record = painter.last_record();
        record->setParameter(record, 0, 0.25f);
        record->setParameter(record, 1, 0.75f);
        saved_ok = choose_file(w, 23, saved);
        // The window writes the file once the dialog has returned, on its own thread.
        wait_until([&] { return (file = read_file_bytes(saved)).size() == 64; }, 5000);
        record->setParameter(record, 0, 0.9f);
        record->setParameter(record, 1, 0.9f);
        loaded_ok = choose_file(w, 24, saved);
    });
    ASSERT_TRUE(saved_ok);
    ASSERT_TRUE(loaded_ok);
    ASSERT_EQ(file.size(), 64u);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "CcnK");
    EXPECT_EQ(std::string(file.begin() + 8, file.begin() + 12), "FxCk");
    EXPECT_EQ(big_endian_float(file, 56), 0.25f);
    EXPECT_EQ(big_endian_float(file, 60), 0.75f);
    ASSERT_EQ(reports.size(), 1u);
    ASSERT_EQ(reports[0].get_data_size(), 16u);
    float values[2];
    std::memcpy(values, static_cast<const unsigned char*>(reports[0].get_data()) + 8, 8);
    EXPECT_EQ(values[0], 0.25f);
    EXPECT_EQ(values[1], 0.75f);
    EXPECT_TRUE(host->popups().messages().empty());
}

TEST_F(EditorWindow, AFileErrorIsShownAndTheWindowStaysOpen) {
    const std::wstring damaged = profile.file(L"short.fxp");
    write_file_bytes(damaged, {'C', 'c'});
    bool chosen = false, still_open = false;
    auto reports = open("Orvane Painter", painter_preset(), main_window(), [&](HWND w) {
        ASSERT_TRUE(w);
        chosen = choose_file(w, 24, damaged);
        still_open = IsWindow(w) && IsWindowVisible(w);
    });
    EXPECT_TRUE(chosen);
    EXPECT_TRUE(still_open);
    EXPECT_EQ(reports.size(), 1u);
    EXPECT_EQ(host->popups().messages(),
              (std::vector<popup_record>{{"Unexpected end of file", "Error", popup_message::icon_error}}));
}

TEST_F(EditorWindow, ASecondPopupForTheSameInstanceDoesNothingWhileTheFirstIsOpen) {
    const dsp_preset_impl preset = painter_preset();
    std::size_t second_reports = 99;
    HWND second_window = nullptr;
    auto reports = open("Orvane Painter", preset, main_window(), [&](HWND w) {
        ASSERT_TRUE(w);
        preset_log log;
        effect("Orvane Painter")->show_config_popup_v2(preset, main_window(), log);
        second_reports = log.presets.size();
        second_window = find_dialog(nullptr, 0, w);
    });
    EXPECT_EQ(second_reports, 0u);
    EXPECT_EQ(second_window, nullptr);
    EXPECT_EQ(reports.size(), 1u);
    EXPECT_TRUE(host->popups().messages().empty());
}

TEST_F(EditorWindow, APluginWithoutAnEditorGetsTheNotImplementedMessage) {
    const popup_record not_implemented{"This feature isn't implemented for no-GUI plug-ins yet. Sorry.",
                                       "Not implemented", popup_message::icon_information};
    // A second popup for the same instance, asked for while the first one's
    // message is up, says the same rather than nothing.
    const dsp_preset_impl preset = keyed(plugin_guid(0x4F526563), 40000);
    std::size_t second_reports = 99;
    bool asked = false;
    host->popups().set_on_show([&](const popup_record&) {
        if (std::exchange(asked, true)) return;
        preset_log log;
        effect("Recorder")->show_config_popup_v2(preset, main_window(), log);
        second_reports = log.presets.size();
    });
    HWND window = reinterpret_cast<HWND>(1);
    auto reports = open("Recorder", preset, main_window(), [&](HWND w) { window = w; });
    host->popups().set_on_show(nullptr);
    EXPECT_EQ(window, nullptr);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(second_reports, 0u);
    EXPECT_EQ(host->popups().messages(), (std::vector<popup_record>{not_implemented, not_implemented}));
}

TEST_F(EditorWindow, APluginThatCrashesInItsEditorLosesNoSettings) {
    // Its stored settings: the key, two parameters, 0.25 and 0.75.
    const dsp_preset_impl stored = with_parameters(plugin_guid(0x4F466C74), 40001, {0.25f, 0.75f});
    HWND shown = nullptr;
    auto reports = open("Faulty", stored, main_window(), [&](HWND w) { shown = w; });
    // A plug-in switched off before its editor showed closes it unseen.
    EXPECT_EQ(shown, nullptr);
    EXPECT_TRUE(IsWindowEnabled(main_window()));
    // Nothing can be captured from a plug-in switched off in effEditOpen:
    // the one report is the settings the window was opened with.
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports[0].equals(stored));
    host->pump();
    EXPECT_EQ(host->popups().messages(),
              (std::vector<popup_record>{{"The VST plug-in \"Faulty\" crashed in effEditOpen (access violation) and "
                                          "has been switched off. Its audio passes through unchanged from now on. "
                                          "From its next load it runs in a process of its own.",
                                          "Error", popup_message::icon_error}}));
}

}  // namespace

// The tool's window commands as a user meets them: "edit" opens a chain
// position's editor and keeps what the user leaves there; "gui" shows the
// player's window with the chain.
#include <gtest/gtest.h>

#include <algorithm>

#include "../../Helpers/win32_handles.h"
#include "../support/child_process.h"
#include "../support/signals.h"
#include "../support/test_paths.h"
#include "../support/wav_io.h"
#include "../support/window_probe.h"

namespace {

class OrvaneWindows : public ::testing::Test {
protected:
    tool_run orvane(const temp_folder& profile, std::vector<std::wstring> a,
                    const std::function<void(DWORD)>& meanwhile = nullptr) {
        a.insert(a.begin(), {L"--profile", profile.path(), L"--quiet"});
        tool_run r = run_orvane_driven(a, meanwhile);
        r.err.erase(std::remove(r.err.begin(), r.err.end(), '\r'), r.err.end());
        return r;
    }
    void ok(const temp_folder& profile, std::vector<std::wstring> a) {
        tool_run r = orvane(profile, a);
        ASSERT_EQ(r.exit_code, 0) << r.err << r.out;
    }
    void chain_of(const temp_folder& profile, const char* plugin, const wchar_t* name) {
        ok(profile, {L"add", plugin_dll(plugin)});
        ok(profile, {L"chain", L"add", name});
    }

    temp_folder profile, files;
};

TEST_F(OrvaneWindows, EditThenProcessSoundsAsTheEditorLeftIt) {
    chain_of(profile, "painter", L"Orvane Painter");
    // A click a quarter of the way across the painter's panel sets its level to 0.25.
    tool_run edit = orvane(profile, {L"edit", L"1"}, [](DWORD process) {
        HWND editor = nullptr;
        ASSERT_TRUE(wait_until([&] { return (editor = find_dialog(L"Orvane Painter", 0, nullptr, process)) != nullptr; }));
        PostMessageW(GetWindow(editor, GW_CHILD), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(80, 50));
        PostMessageW(editor, WM_CLOSE, 0, 0);
    });
    ASSERT_EQ(edit.exit_code, 0) << edit.err;

    temp_folder by_param;
    chain_of(by_param, "painter", L"Orvane Painter");
    ok(by_param, {L"param", L"1", L"Level", L"0.25"});

    write_wav(files.file(L"in.wav"), {2, 44100, 3, 32, test_signal(3000, 2)});
    ok(profile, {L"process", files.file(L"in.wav"), files.file(L"edited.wav")});
    ok(by_param, {L"process", files.file(L"in.wav"), files.file(L"param.wav")});
    const wav_data edited = read_wav(files.file(L"edited.wav")), in = read_wav(files.file(L"in.wav"));
    EXPECT_EQ(read_file_bytes(files.file(L"edited.wav")), read_file_bytes(files.file(L"param.wav")));
    ASSERT_EQ(edited.samples.size(), in.samples.size());
    EXPECT_FLOAT_EQ(edited.samples[100], in.samples[100] * 0.5f);
}

TEST_F(OrvaneWindows, EditOfAPluginWithoutAnEditorSaysSoAndChangesNothing) {
    chain_of(profile, "gain", L"Orvane Gain");
    const auto before = read_file_bytes(profile.file(L"velmora-state.bin"));
    tool_run r = orvane(profile, {L"edit", L"1"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err, "orvane: error: This feature isn't implemented for no-GUI plug-ins yet. Sorry.\n");
    EXPECT_EQ(read_file_bytes(profile.file(L"velmora-state.bin")), before);
}

// A plug-in that crashes in its open editor, in effEditIdle or in its own
// window's timer, is switched off: the editor closes by itself, the crash
// is the command's one error line, and the profile stays as it was.
TEST_F(OrvaneWindows, EditOfAPluginThatCrashesInItsEditorReportsTheCrashAndSavesNothing) {
    const struct {
        const char* dll;
        const char* call;
    } cases[] = {{"fault_edit_idle", "effEditIdle"}, {"fault_editor_timer", "its editor's timer"}};
    for (const auto& c : cases) {
        temp_folder faulty;
        chain_of(faulty, c.dll, L"Faulty");
        const auto before = read_file_bytes(faulty.file(L"velmora-state.bin"));
        bool closed_by_itself = true;
        // Not quiet: the line that says the settings were saved must not come.
        tool_run r = run_orvane_driven({L"--profile", faulty.path(), L"edit", L"1"}, [&](DWORD process) {
            unique_handle running(OpenProcess(SYNCHRONIZE, FALSE, process));
            if (WaitForSingleObject(running.get(), 20000) == WAIT_OBJECT_0) return;
            closed_by_itself = false;
            if (HWND w = find_dialog(L"Faulty", 0, nullptr, process)) PostMessageW(w, WM_CLOSE, 0, 0);
        });
        r.err.erase(std::remove(r.err.begin(), r.err.end(), '\r'), r.err.end());
        EXPECT_TRUE(closed_by_itself) << c.dll;
        EXPECT_EQ(r.exit_code, 1) << c.dll;
        EXPECT_EQ(r.err, std::string("orvane: error: The VST plug-in \"Faulty\" crashed in ") + c.call +
                             " (access violation) and has been switched off. Its audio passes through unchanged from "
                             "now on. From its next load it runs in a process of its own.\n")
            << c.dll;
        EXPECT_EQ(r.out, "") << c.dll;
        EXPECT_EQ(read_file_bytes(faulty.file(L"velmora-state.bin")), before) << c.dll;
    }
}

TEST_F(OrvaneWindows, GuiShowsThePlayerWindowWithTheChainAndSavesItWhenClosed) {
    chain_of(profile, "painter", L"Orvane Painter");
    ok(profile, {L"add", plugin_dll("gain")});
    ok(profile, {L"chain", L"add", L"Orvane Gain"});
    std::wstring title;
    std::vector<std::wstring> shown;
    tool_run r = orvane(profile, {L"gui"}, [&](DWORD process) {
        HWND main = nullptr;
        ASSERT_TRUE(wait_until([&] { return (main = find_window_of_class(process, L"VelmoraStandInMain")) != nullptr; }));
        title = window_text(main);
        HWND view = GetWindow(main, GW_CHILD);
        const auto count = SendMessageW(view, LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            wchar_t line[128] = {};
            SendMessageW(view, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(line));
            shown.push_back(line);
        }
        PostMessageW(main, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(title, L"Velmora");
    EXPECT_EQ(shown, (std::vector<std::wstring>{L"1  Orvane Painter", L"2  Orvane Gain"}));
}

}  // namespace

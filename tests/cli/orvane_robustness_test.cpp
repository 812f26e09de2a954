// The orvane tool when things go wrong: plug-ins that leave the list, files
// of the user's beside the output, interrupted runs and misused options.
// Every failure is one line on standard error, a non-zero exit and an
// unchanged profile.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "../../Helpers/utf.h"
#include "../../host/vst_scripting.h"
#include "../support/child_process.h"
#include "../support/list_writer.h"
#include "../support/signals.h"
#include "../support/test_paths.h"
#include "../support/tool_fixture.h"
#include "../support/wav_io.h"

namespace {

class OrvaneRobustness : public ToolFixture {
protected:
    // A failure: one line that says `message`, and nothing of the profile changed.
    void fails(std::vector<std::wstring> a, const std::string& message) {
        const auto before = folder_contents(profile.path());
        tool_run r = orvane(a);
        EXPECT_NE(r.exit_code, 0) << message;
        EXPECT_EQ(r.err.rfind("orvane: error: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(folder_contents(profile.path()), before) << message;
    }
    std::wstring input(std::size_t frames = 3000) {
        write_wav(files.file(L"in.wav"), {2, 44100, 1, 16, test_signal(frames, 2)});
        return files.file(L"in.wav");
    }
};

TEST_F(OrvaneRobustness, PluginUsedByTheChainIsNotSilentlyDropped) {
    ok({L"add", plugin_dll("gain")});
    ok({L"add", plugin_dll("recorder")});
    ok({L"chain", L"add", L"Orvane Gain"});
    ok({L"chain", L"add", L"Recorder"});
    ok({L"chain", L"add", L"Orvane Gain"});
    fails({L"remove", L"Orvane Gain"}, "Orvane Gain is used by chain positions 1, 3; take them out of the chain first");

    // A list changed behind the tool's back: the gain's positions have no effect.
    write_list_file(profile.file(L"vst_entries.bin"),
                    {{wide_to_utf8(plugin_dll("recorder")), "Recorder", identifier_text(0x4F526563)}});
    const std::wstring out = files.file(L"out.wav");
    fails({L"process", input(), out}, "chain positions 1, 3 use effects whose plug-in is not in the plug-in list");
    EXPECT_EQ(names_in(files.path()), (std::set<std::wstring>{L"in.wav"}));

    ok({L"chain", L"remove", L"3"});
    ok({L"chain", L"remove", L"1"});
    ok({L"process", input(), out});
    ok({L"chain", L"clear"});
    ok({L"remove", L"Recorder"});
}

TEST_F(OrvaneRobustness, RelativeProfileFolderIsCreated) {
    tool_run r = run_orvane({L"--profile", L"new\\deeper", L"plugins"}, {files.path(), L"", {}, false, L""});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(GetFileAttributesW(files.file(L"new\\deeper").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(OrvaneRobustness, UsersPartFileIsNeitherOverwrittenNorRenamed) {
    ok({L"add", plugin_dll("recorder")});
    ok({L"chain", L"add", L"Recorder"});
    const std::vector<unsigned char> mine = {'m', 'i', 'n', 'e'};
    write_file_bytes(files.file(L"out.wav.part"), mine);
    ok({L"process", input(), files.file(L"out.wav")});
    EXPECT_EQ(read_file_bytes(files.file(L"out.wav.part")), mine);
    EXPECT_EQ(read_wav(files.file(L"out.wav")).samples.size(), 6000u);
    EXPECT_EQ(names_in(files.path()), (std::set<std::wstring>{L"in.wav", L"out.wav", L"out.wav.part"}));
}

TEST_F(OrvaneRobustness, InterruptedProcessLeavesNoPartFile) {
    ok({L"add", plugin_dll("interrupter")});
    ok({L"chain", L"add", L"Interrupter"});
    // Ctrl+C pressed on the tool's console, and the signal raised directly.
    const run_place ways[] = {{L"", L"", {L"ORVANE_TEST_INTERRUPT=console"}, true, L""},
                              {L"", L"", {L"ORVANE_TEST_INTERRUPT=signal"}, false, L""}};
    for (const run_place& way : ways) {
        tool_run r = orvane({L"process", input(44100), files.file(L"out.wav")}, way);
        EXPECT_EQ(r.exit_code, 130) << r.err;
        EXPECT_NE(r.err.find("orvane: interrupted"), std::string::npos) << r.err;
        EXPECT_EQ(names_in(files.path()), (std::set<std::wstring>{L"in.wav"}));
    }
}

TEST_F(OrvaneRobustness, FailedDemoLeavesNoTemporaryProfile) {
    write_file_bytes(files.file(L"fake.dll"), {'M', 'Z'});
    temp_folder temp;
    tool_run r = run_orvane({L"demo", files.file(L"fake.dll")}, {L"", temp.path(), {}, false, L""});
    EXPECT_EQ(r.exit_code, 1) << r.out;
    EXPECT_EQ(r.err.rfind("orvane: error: ", 0), 0u) << r.err;
    EXPECT_EQ(names_in(temp.path()), std::set<std::wstring>{});
}

TEST_F(OrvaneRobustness, OptionsMayFollowTheCommand) {
    ok({L"add", plugin_dll("gain")});
    tool_run r = run_orvane({L"plugins", L"--profile", profile.path()});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.out.find("Orvane Gain"), std::string::npos) << r.out;
    ok({L"chain", L"add", L"1"});
    ok({L"process", input(100), files.file(L"out.wav"), L"--format", L"16"});
    EXPECT_EQ(read_wav(files.file(L"out.wav")).bits, 16u);
}

TEST_F(OrvaneRobustness, MisuseGetsOneClearLine) {
    ok({L"add", plugin_dll("gain")});
    ok({L"chain", L"add", L"1"});
    write_wav(files.file(L"fast.wav"), {2, 4294967295u, 1, 16, test_signal(10, 2)});
    struct { std::vector<std::wstring> arguments; std::string message; } cases[] = {
        {{L"--chunk", L"0", L"plugins"}, "--chunk takes a number of frames from 1 to 1048576, not \"0\""},
        {{L"plugins", L"--chunk", L"2000000"}, "--chunk takes a number of frames from 1 to 1048576, not \"2000000\""},
        {{L"plugins", L"--fast"}, "unknown option --fast (orvane --help lists them)"},
        {{L"frobnicate"}, "unknown command \"frobnicate\" (orvane --help lists them)"},
        {{L"fxp", L"1", files.file(L"missing.fxp")}, "the program file " + wide_to_utf8(files.file(L"missing.fxp")) +
                                                         " does not exist"},
        {{L"process", files.file(L"fast.wav"), files.file(L"out.wav")},
         "has a sample rate of 4294967295 Hz, more than its header can describe (at most 1073741823 Hz"},
    };
    for (const auto& c : cases) fails(c.arguments, c.message);
    EXPECT_EQ(names_in(files.path()), (std::set<std::wstring>{L"fast.wav"}));
}

TEST_F(OrvaneRobustness, AddSaysAddedOnlyOnceTheListIsWritten) {
    // A folder where the list file should be: the list cannot be written.
    CreateDirectoryW(profile.file(L"vst_entries.bin").c_str(), nullptr);
    tool_run r = orvane({L"add", plugin_dll("gain")});
    EXPECT_EQ(r.exit_code, 1);
    const std::string said = "orvane: error: The plug-in list could not be saved: " +
                             wide_to_utf8(profile.file(L"vst_entries.bin")) + ": ";
    EXPECT_EQ(r.err.substr(0, said.size()), said) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;  // one line
    EXPECT_EQ(r.out.find("Added"), std::string::npos) << r.out;
}

TEST_F(OrvaneRobustness, ComponentWithoutAScriptingInterfaceItKnowsIsRefused) {
    // The tool installed beside a component that registers another version
    // of the interface, or none.
    temp_folder install;
    ASSERT_TRUE(CopyFileW((bin_folder() + L"orvane.exe").c_str(), install.file(L"orvane.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW((bin_folder() + L"fake_component\\vel_vst.dll").c_str(),
                          install.file(L"vel_vst.dll").c_str(), FALSE));
    const std::string known = std::to_string(k_vst_scripting_version);
    const std::wstring later = std::to_wstring(k_vst_scripting_version + 1);
    const std::wstring earlier = std::to_wstring(k_vst_scripting_version - 1);
    struct { const wchar_t* version; std::string message; } cases[] = {
        {later.c_str(), "vel_vst.dll has scripting interface version " + wide_to_utf8(later) +
                            "; this orvane knows only version " + known},
        {earlier.c_str(), "vel_vst.dll has scripting interface version " + wide_to_utf8(earlier) +
                              "; this orvane knows only version " + known},
        {nullptr, "vel_vst.dll has no scripting interface; this orvane needs version " + known + " of it"},
    };
    for (const auto& c : cases) {
        run_place place;
        place.program = install.file(L"orvane.exe");
        if (c.version) place.environment = {std::wstring(L"ORVANE_FAKE_SCRIPTING_VERSION=") + c.version};
        for (const wchar_t* command : {L"plugins", L"import-legacy"}) {
            const auto before = folder_contents(profile.path());
            tool_run r = orvane({command}, place);
            EXPECT_EQ(r.exit_code, 1) << r.err;
            EXPECT_EQ(r.err.rfind("orvane: error: ", 0), 0u) << r.err;
            EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
            EXPECT_EQ(folder_contents(profile.path()), before);
        }
    }
}

}  // namespace

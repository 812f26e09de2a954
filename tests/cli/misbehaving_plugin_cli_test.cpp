// The tool with plug-ins that never return, end the playback thread, or put
// out samples that are no numbers: it never waits forever, says where it is
// stuck, leaves nothing behind, and writes no sample a player would click on.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "../../Helpers/utf.h"
#include "../support/child_process.h"
#include "../support/signals.h"
#include "../support/test_paths.h"
#include "../support/tool_fixture.h"
#include "../support/wav_io.h"

namespace {

class MisbehavingPluginTool : public ToolFixture {
protected:
    std::wstring input(const wav_data& w) {
        write_wav(files.file(L"in.wav"), w);
        return files.file(L"in.wav");
    }
    // The tool on a profile of the case's own.
    static tool_run in_profile(const temp_folder& own, std::vector<std::wstring> a) {
        a.insert(a.begin(), {L"--profile", own.path(), L"--quiet"});
        return run_orvane(a);
    }
};

TEST_F(MisbehavingPluginTool, NoRunWaitsForeverForAPlugin) {
    struct stuck_case {
        const char* plugin;
        const char* product;
        std::vector<std::wstring> command;  // after the plug-in is listed and chained behind Orvane Gain
        int exit_code;
        std::string message;
    };
    const std::string spinning = wide_to_utf8(plugin_dll("fault_loop_open"));
    const stuck_case cases[] = {
        {"fault_loop_process",  // never returns from its third processReplacing
         "Faulty",
         {L"--stall-timeout", L"2", L"--chunk", L"256", L"process"},
         124,
         "orvane: error: no audio came through the chain for 2 s: chain position 2 (Faulty) has not returned "
         "from processReplacing; nothing was written\n"},
        {"misbehaving_exit_thread",
         "Misbehaving",
         {L"--chunk", L"256", L"process"},
         1,
         "orvane: error: the playback thread ended inside a plug-in: chain position 2 (Misbehaving) has not "
         "returned from processReplacing; nothing was written\n"},
        {"fault_loop_open",  // never returns from effOpen
         "Faulty",
         {L"--load-timeout", L"2", L"add", plugin_dll("fault_loop_open")},
         124,
         "orvane: error: the plug-in " + spinning +
             " did not finish loading in 2 s: it has not returned from effOpen; the plug-in list is unchanged\n"},
    };
    for (const stuck_case& c : cases) {
        SCOPED_TRACE(c.plugin);
        temp_folder own_profile;
        const auto set_up = [&](std::vector<std::wstring> a) {
            tool_run r = in_profile(own_profile, std::move(a));
            ASSERT_EQ(r.exit_code, 0) << r.err;
        };
        set_up({L"add", plugin_dll("gain")});
        set_up({L"chain", L"add", L"Orvane Gain"});
        const bool processing = c.command.back() == L"process";
        if (processing) {
            set_up({L"add", plugin_dll(c.plugin)});
            set_up({L"chain", L"add", utf8_to_wide(c.product)});
        }
        std::vector<std::wstring> command = c.command;
        if (processing) {
            command.push_back(input({2, 44100, 3, 32, test_signal(256 * 8, 2)}));
            command.push_back(files.file(L"out.wav"));
        }
        const auto profile_before = folder_contents(own_profile.path());
        tool_run r = in_profile(own_profile, command);
        EXPECT_EQ(r.exit_code, c.exit_code);
        EXPECT_EQ(r.err, c.message);
        EXPECT_EQ(folder_contents(own_profile.path()), profile_before);
        if (processing) {
            EXPECT_EQ(names_in(files.path()), (std::set<std::wstring>{L"in.wav"}));
        }
        DeleteFileW(files.file(L"in.wav").c_str());
    }
}

TEST_F(MisbehavingPluginTool, SamplesThatAreNoNumbersNeverReachTheFile) {
    // From a plug-in: the component replaces them; the tool says where from.
    ok({L"add", plugin_dll("misbehaving_not_finite")});  // its first five left samples a chunk are odd
    ok({L"chain", L"add", L"Misbehaving"});
    const wav_data in{2, 44100, 3, 32, test_signal(256, 2)};
    tool_run r = orvane({L"--format", L"16", L"process", input(in), files.file(L"out.wav")});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.err.find("orvane: warning: chain position 1 (Misbehaving) put out 4 samples that were no finite "
                         "numbers (NaN or infinity); the component replaced them with silence"),
              std::string::npos)
        << r.err;
    const wav_data out = read_wav(files.file(L"out.wav"));
    ASSERT_EQ(out.samples.size(), in.samples.size());
    for (int frame = 0; frame < 4; ++frame) EXPECT_EQ(out.samples[2 * frame], 0.0f) << frame;
    EXPECT_EQ(out.samples[2 * 4], 32767.0f / 32768.0f);  // 1e30 is a number, clipped to full scale
    EXPECT_EQ(r.out.find("nan"), std::string::npos) << r.out;

    // From the input, through an empty chain: silence for NaN, full scale
    // for infinities, and the statistics leave them out.
    ok({L"chain", L"clear"});
    wav_data odd = in;
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    odd.samples[0] = nan;
    odd.samples[2] = inf;
    odd.samples[4] = -inf;
    r = orvane({L"--format", L"16", L"process", input(odd), files.file(L"out16.wav")});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const wav_data out16 = read_wav(files.file(L"out16.wav"));
    EXPECT_EQ(out16.samples[0], 0.0f);
    EXPECT_EQ(out16.samples[2], 32767.0f / 32768.0f);
    EXPECT_EQ(out16.samples[4], -32767.0f / 32768.0f);
    EXPECT_NE(r.out.find("  channel 1: peak "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(" (3 samples that were no finite numbers left out)"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("nan"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("orvane: warning: the input holds 3 samples that are no finite numbers (NaN or infinity); "
                         "they were written as silence (NaN) or full scale (infinity)"),
              std::string::npos)
        << r.err;
}

}  // namespace

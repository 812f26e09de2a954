// The tool's process job with a plug-in in a process of its own that
// crashes once: the job waits for the restart, so at most two chunks miss
// the effect, and the plug-in comes back with the Gain set in the profile.
// The x86 tool does the same with an x64 plug-in.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/relapse_faults.h"
#include "../support/signals.h"
#include "../support/test_paths.h"
#include "../support/tool_fixture.h"
#include "../support/wav_io.h"

namespace {

constexpr std::size_t k_chunk = 1024;

class RestartTool : public ToolFixture {};

TEST_F(RestartTool, ACrashCostsAtMostTwoChunksAndTheSettingsComeBack) {
    std::vector<std::wstring> plugins{plugin_dll("relapse_crash")};
    // The 32-bit tool runs under the Wine that starts 64-bit bridges too.
    if (sizeof(void*) == 4) plugins.push_back(other_architecture_plugin_dll("relapse_crash"));
    const std::vector<float> ones(k_chunk * 60 * 2, 1.0f);
    write_wav(files.file(L"in.wav"), {2, 44100, 3, 32, ones});
    for (const std::wstring& dll : plugins) {
        SCOPED_TRACE(std::string(dll.begin(), dll.end()));
        temp_folder own_profile;
        const auto in_profile = [&](std::vector<std::wstring> a) {
            a.insert(a.begin(), {L"--profile", own_profile.path(), L"--quiet"});
            return run_orvane(a);
        };
        ASSERT_EQ(in_profile({L"add", L"--isolate", dll}).exit_code, 0);
        ASSERT_EQ(in_profile({L"chain", L"add", L"Relapse"}).exit_code, 0);
        ASSERT_EQ(in_profile({L"param", L"1", L"Gain", L"0.25"}).exit_code, 0);
        relapse_faults faults(1, 40);

        const tool_run r = in_profile({L"--chunk", L"1024", L"process", files.file(L"in.wav"), files.file(L"out.wav")});

        ASSERT_EQ(r.exit_code, 0) << r.err;
        EXPECT_NE(r.err.find("The VST plug-in \"Relapse\" crashed in processReplacing (access violation); it was "
                             "restarted with its settings (1 of 3)."),
                  std::string::npos)
            << r.err;
        EXPECT_NE(r.err.find("chain position 1 (Relapse) stopped in its own process and was restarted once"),
                  std::string::npos)
            << r.err;
        const std::vector<float> out = read_wav(files.file(L"out.wav")).samples;
        ASSERT_EQ(out.size(), ones.size());
        std::vector<std::size_t> missed;  // chunks that passed it by
        for (std::size_t chunk = 0; chunk < 60; ++chunk) {
            bool effect = true, dry = true;
            for (std::size_t i = chunk * k_chunk * 2; i < (chunk + 1) * k_chunk * 2; ++i) {
                effect = effect && out[i] == 0.25f;
                dry = dry && out[i] == 1.0f;
            }
            EXPECT_TRUE(effect || dry) << "chunk " << chunk;
            if (!effect) missed.push_back(chunk);
        }
        ASSERT_FALSE(missed.empty());
        EXPECT_LE(missed.size(), 2u);
        EXPECT_EQ(missed.front(), 39u);
    }
}

}  // namespace

// A job of the tool with plug-ins that are stuck while the chain is set up,
// keep large states, leave threads running, or are late, and with a job
// ended from outside: it never waits forever, loses nothing without a word,
// never writes what it cannot read back, and leaves nothing behind.
#include <gtest/gtest.h>

#include <cstdio>

#include "../../Helpers/utf.h"
#include "../../Helpers/win32_handles.h"
#include "../../test_plugins/common/call_log.h"
#include "../support/child_process.h"
#include "../support/plugin_hooks.h"
#include "../support/signals.h"
#include "../support/test_paths.h"
#include "../support/tool_fixture.h"
#include "../support/wav_io.h"
#include "../support/window_probe.h"

namespace {

class ToolJobs : public ToolFixture {
protected:
    std::wstring input(std::size_t frames) {
        write_wav(files.file(L"in.wav"), {2, 44100, 3, 32, test_signal(frames, 2)});
        return files.file(L"in.wav");
    }
};

// Chain set-up loads each position's plug-in and gives it its state: a
// plug-in stuck there is named, and the job stops at the stall limit.
TEST_F(ToolJobs, AChainThatCannotBeSetUpIsNamedAndTheJobEnds) {
    struct stuck_case {
        const char* dll;
        bool own_process;
        const char* call;
    } cases[] = {
        // Listed and chained while it worked; the DLL was then replaced by
        // one that never returns from effOpen.
        {"fault_loop_open", false, "effOpen"},
        // Its captured state sends it round for good.
        {"fault_loop_set_chunk", true, "effSetChunk"},
    };
    for (const stuck_case& c : cases) {
        SCOPED_TRACE(c.dll);
        temp_folder own;
        const auto in_profile = [&](std::vector<std::wstring> a) {
            a.insert(a.begin(), {L"--profile", own.path(), L"--quiet"});
            return run_orvane(a);
        };
        if (c.own_process) {
            ASSERT_EQ(in_profile({L"add", L"--isolate", plugin_dll(c.dll)}).exit_code, 0);
            ASSERT_EQ(in_profile({L"chain", L"add", L"Faulty"}).exit_code, 0);
            ASSERT_EQ(in_profile({L"param", L"1", L"1", L"0.25"}).exit_code, 0);  // captures its state
        } else {
            const std::wstring dll = files.file(L"faulty.dll");
            ASSERT_TRUE(CopyFileW(plugin_dll("fault_process").c_str(), dll.c_str(), FALSE));
            ASSERT_EQ(in_profile({L"add", dll}).exit_code, 0);
            ASSERT_EQ(in_profile({L"chain", L"add", L"Faulty"}).exit_code, 0);
            ASSERT_TRUE(CopyFileW(plugin_dll(c.dll).c_str(), dll.c_str(), FALSE));
        }
        const auto before = folder_contents(own.path());
        tool_run r = in_profile({L"--stall-timeout", L"2", L"process", input(2048), files.file(L"out.wav")});
        EXPECT_EQ(r.exit_code, 124);
        // One still loading is named by its DLL, one being given its state by its position.
        const std::string who = c.own_process ? "chain position 1 (Faulty)"
                                              : "the plug-in " + wide_to_utf8(files.file(L"faulty.dll"));
        EXPECT_EQ(r.err, "orvane: error: the chain was not set up within 2 s: " + who + " has not returned from " +
                             c.call + "; nothing was written\n");
        EXPECT_EQ(folder_contents(own.path()), before);
        std::set<std::wstring> left = names_in(files.path());
        left.erase(L"faulty.dll");
        EXPECT_EQ(left, (std::set<std::wstring>{L"in.wav"}));
    }
}

// However a job ends (here as a killed process does, with no chance to
// clean up), it leaves no ".part" file.
TEST_F(ToolJobs, AJobEndedFromOutsideLeavesNoPartFile) {
    ok({L"add", L"--isolate", plugin_dll("fault_loop_process")});  // stalls for good in its third block
    ok({L"chain", L"add", L"Faulty"});
    bool part_seen = false;
    tool_run r = run_orvane_driven(
        {L"--profile", profile.path(), L"--quiet", L"--stall-timeout", L"600", L"--chunk", L"256", L"process",
         input(256 * 8), files.file(L"out.wav")},
        [&](unsigned long id) {
            part_seen = wait_until([&] { return names_in(files.path()).size() == 2; }, 30000);
            unique_handle tool(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
            TerminateProcess(tool.get(), 9);
            WaitForSingleObject(tool.get(), 10000);
        });
    EXPECT_TRUE(part_seen);
    EXPECT_EQ(r.exit_code, 9);
    EXPECT_TRUE(wait_until([&] { return names_in(files.path()) == std::set<std::wstring>{L"in.wav"}; }, 5000));
}

// A state of 65 MB goes through the profile and back into the plug-in
// whole; a program file past the limit is refused, and nothing claims it
// was loaded.
TEST_F(ToolJobs, LargeStatesLiveThroughTheProfileAndTooLargeOnesAreRefused) {
    plugin_hooks dll("patient_big_state");
    ok({L"add", plugin_dll("patient_big_state")});
    ok({L"chain", L"add", L"Patient"});
    ok({L"param", L"1", L"1", L"0.5"});  // captures its 65 MB state into the profile
    dll.clear();
    ok({L"process", input(512), files.file(L"out.wav")});
    const std::size_t size = std::size_t{65} << 20;
    std::vector<unsigned char> expected(size);
    for (std::size_t i = 0; i < size; ++i) expected[i] = static_cast<unsigned char>((i * 7 + 3) & 0xFF);
    char line[64];
    std::snprintf(line, sizeof line, "set chunk 0 %zu %08x", size, log_hash(expected.data(), size));
    const std::vector<std::string> log = dll.log();
    EXPECT_NE(std::find(log.begin(), log.end(), line), log.end());

    // A program file of 300 MB: its header, then a chunk that big.
    const std::wstring big = files.file(L"big.fxp");
    const std::uint32_t chunk = 300u << 20;
    std::vector<unsigned char> header;
    const auto be32 = [&](std::uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) header.push_back(static_cast<unsigned char>(v >> shift));
    };
    be32(0x43636E4B);  // CcnK
    be32(chunk + 52);
    be32(0x46504368);  // FPCh
    be32(1);
    be32(0x4F506174);  // Patient's uniqueID
    be32(1);
    be32(1);
    header.resize(header.size() + 28, 0);  // the program's name
    be32(chunk);
    write_file_bytes(big, header);
    {
        unique_handle f = make_file_handle(CreateFileW(big.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        LARGE_INTEGER end{};
        end.QuadPart = static_cast<LONGLONG>(header.size()) + chunk;
        ASSERT_TRUE(SetFilePointerEx(f.get(), end, nullptr, FILE_BEGIN) && SetEndOfFile(f.get()));
    }
    const auto state_before = read_file_bytes(profile.file(L"velmora-state.bin"));
    dll.clear();
    tool_run r = orvane({L"fxp", L"1", big});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out.find("Loaded"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("A state of 300.0 MB was not given to the VST plug-in \"Patient\": it is more than the 256.0 MB "
                         "the component hands to a plug-in."),
              std::string::npos)
        << r.err;
    // The chain position's own state goes in (index 0); the program never does (index 1).
    for (const std::string& l : dll.log()) EXPECT_EQ(l.rfind("set chunk 1", 0), std::string::npos) << l;
    EXPECT_EQ(read_file_bytes(profile.file(L"velmora-state.bin")), state_before);
}

// A plug-in in the player's process whose thread of its own runs on after
// effClose keeps its DLL loaded until that thread is done: the job ends
// well, every time.
TEST_F(ToolJobs, AThreadThatOutlivesItsPluginTakesNothingDown) {
    ok({L"add", plugin_dll("misbehaving_stray_thread")});
    ok({L"chain", L"add", L"Misbehaving"});
    const std::vector<float> in = test_signal(4096, 2);
    write_wav(files.file(L"in.wav"), {2, 44100, 3, 32, in});
    for (int run = 0; run < 3; ++run) {
        SCOPED_TRACE(run);
        tool_run r = orvane({L"process", files.file(L"in.wav"), files.file(L"out.wav")});
        EXPECT_EQ(r.exit_code, 0) << r.err;
        EXPECT_EQ(read_wav(files.file(L"out.wav")).samples, in);
    }
}

// Played as the player plays it, a plug-in in a process of its own that is
// late with its first block costs the chunks meanwhile, and the summary
// says so; as a file job it costs nothing.
TEST_F(ToolJobs, LateBlocksAreCountedWhenPlayedAndNeverHappenOffline) {
    ok({L"add", L"--isolate", plugin_dll("patient_slow_first_block")});
    ok({L"chain", L"add", L"Patient"});
    const std::vector<float> in = test_signal(256 * 400, 2);
    write_wav(files.file(L"in.wav"), {2, 44100, 3, 32, in});
    tool_run offline = orvane({L"--chunk", L"256", L"process", files.file(L"in.wav"), files.file(L"file.wav")});
    ASSERT_EQ(offline.exit_code, 0) << offline.err;
    EXPECT_EQ(offline.err, "");
    std::vector<float> halved = in;
    for (float& s : halved) s *= 0.5f;
    EXPECT_EQ(read_wav(files.file(L"file.wav")).samples, halved);

    tool_run played =
        orvane({L"--chunk", L"256", L"process", L"--as-played", files.file(L"in.wav"), files.file(L"played.wav")});
    ASSERT_EQ(played.exit_code, 0) << played.err;
    unsigned late = 0;
    EXPECT_EQ(std::sscanf(played.err.c_str(), "orvane: warning: chain position 1 (Patient) was late with %u", &late), 1)
        << played.err;
    EXPECT_GT(late, 0u);
    const std::vector<float> out = read_wav(files.file(L"played.wav")).samples;
    ASSERT_EQ(out.size(), in.size());
    // The first chunks passed it by, the rest carry the effect.
    std::size_t dry = 0;
    while (dry < out.size() && out[dry] == in[dry]) ++dry;
    EXPECT_GT(dry, 0u);
    EXPECT_TRUE(std::equal(out.begin() + static_cast<std::ptrdiff_t>(dry / 512 * 512), out.end(),
                           halved.begin() + static_cast<std::ptrdiff_t>(dry / 512 * 512)));
}

// A DLL of the other architecture runs only in a process of its own: when
// that process cannot start (its bridge is not installed), the diagnosis
// says which and why, not that the DLL refused to load.
TEST_F(ToolJobs, AForeignDllWhoseBridgeCannotStartSaysWhy) {
    temp_folder install;
    // The unwinder DLL is there only where the build makes one.
    for (const wchar_t* file : {L"orvane.exe", L"vel_vst.dll", L"shared.dll", L"orvane_eh.dll"}) {
        if (!file_exists(bin_folder() + file)) continue;
        ASSERT_TRUE(CopyFileW((bin_folder() + file).c_str(), install.file(file).c_str(), FALSE)) << GetLastError();
    }
    const bool x64 = sizeof(void*) == 8;
    const wchar_t* own_bridge = x64 ? L"orvane_bridge64.exe" : L"orvane_bridge32.exe";
    ASSERT_TRUE(CopyFileW((bin_folder() + own_bridge).c_str(), install.file(own_bridge).c_str(), FALSE));
    run_place place;
    place.program = install.file(L"orvane.exe");
    const std::wstring foreign = other_architecture_plugin_dll("gain");
    tool_run r = orvane({L"add", foreign}, place);
    EXPECT_EQ(r.exit_code, 1);
    const std::string missing = x64 ? "orvane_bridge32.exe" : "orvane_bridge64.exe";
    const std::string said = std::string("The VST DLL is a ") + (x64 ? "32-bit (x86)" : "64-bit (x64)") +
                             " DLL, which runs only in a process of its own, and that process could not be started. " +
                             missing + ": ";
    EXPECT_NE(r.err.find(said), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("refused loading"), std::string::npos) << r.err;
}

}  // namespace

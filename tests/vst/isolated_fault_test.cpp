// Plug-ins in a process of their own that would take the player down with
// them in its own: their process ends, a call never returns, they write
// past their buffers or over their heap. Each is switched off with one
// message, every chunk comes back whole, and no process is left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <thread>

#include "../../vst/audio_processing.h"
#include "../../bridge/player/plugin_bridge.h"
#include "../../vst/vst.h"
#include "../support/linked_host.h"
#include "../support/plugin_hooks.h"
#include "../support/process_probe.h"
#include "../support/signals.h"
#include "../support/test_deadlines.h"
#include "../support/test_paths.h"
#include "../support/window_probe.h"

namespace {

std::string message(const char* how, const char* call, const char* why) {
    return std::string("The VST plug-in \"Faulty\" ") + how + " " + call + " (" + why +
           ") and has been switched off. Its audio passes through unchanged from now on.";
}

class IsolatedFaults : public ::testing::Test {
protected:
    std::unique_ptr<vst> load(const char* name) {
        plugin_hooks dll(name);
        auto v = std::make_unique<vst>(entry(dll.path_utf8()), false, plugin_place::own_process);
        EXPECT_TRUE(v->loaded) << v->diagnosis;
        return v;
    }
    std::vector<popup_record> popups() {
        host->pump();
        return host->popups().messages();
    }
    linked_host host;
};

TEST_F(IsolatedFaults, EveryKindIsSwitchedOffAndTheAudioGoesOnWhole) {
    struct fault_case {
        const char* dll;
        std::vector<std::string> messages;  // what the user may be told, once
    } cases[] = {
        {"fault_exit", {message("crashed in", "processReplacing", "its process ended")}},
        {"fault_scribble", {message("crashed in", "processReplacing", "access violation")}},
        // A heap that its own bookkeeping finds broken faults, or the process
        // ends; either way it is over.
        {"fault_heap",
         {message("crashed in", "processReplacing", "access violation"),
          message("crashed in", "processReplacing", "its process ended"),
          message("crashed in", "processReplacing", "exception")}},
    };
    const std::vector<float> in = test_signal(1024, 2);
    std::vector<float> halved = in;
    for (float& s : halved) s *= 0.5f;
    for (const fault_case& c : cases) {
        SCOPED_TRACE(c.dll);
        host->popups().clear();
        auto v = load(c.dll);
        const DWORD bridge = v->bridge()->process_id();
        std::vector<std::vector<float>> out;
        // On a playback thread of its own, as the player runs audio.
        std::thread([&] {
            for (int block = 0; block < 6; ++block) {
                auto chunk = chunk_of(in, 2);
                EXPECT_TRUE(process_chunk(*v, chunk));
                out.push_back(samples_of(chunk));
            }
        }).join();
        EXPECT_EQ(out, (std::vector<std::vector<float>>{halved, halved, in, in, in, in}));
        EXPECT_TRUE(v->faulted);
        const auto shown = popups();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_NE(std::find(c.messages.begin(), c.messages.end(), shown[0].text), c.messages.end()) << shown[0].text;
        EXPECT_TRUE(wait_until([&] { return process_gone(bridge); }, 5000));
        v.reset();
        EXPECT_EQ(popups().size(), 1u);
    }
}

TEST_F(IsolatedFaults, AnEndlessLoopInEffOpenIsTheDiagnosis) {
    component_deadlines deadlines;
    plugin_hooks dll("fault_loop_open");
    auto v = std::make_unique<vst>(entry(dll.path_utf8()), false, plugin_place::own_process);
    EXPECT_FALSE(v->loaded);
    EXPECT_EQ(v->diagnosis, "The VST plug-in stopped answering in effOpen (its process was ended).\r\n\r\n" +
                                dll.path_utf8());
    EXPECT_EQ(popups(), std::vector<popup_record>{});
}

// The player ends however it ends: its bridges end with it.
TEST_F(IsolatedFaults, NoProcessOutlivesItsPlugInOrThePlayer) {
    auto v = load("recorder");
    const DWORD after_close = v->bridge()->process_id();
    v.reset();
    EXPECT_TRUE(wait_until([&] { return process_gone(after_close); }, 5000));

    temp_folder files;
    const std::wstring pid_file = files.file(L"bridge.pid");
    const std::wstring exe = bin_folder() + L"unit_tests.exe";
    std::wstring line = L"\"" + exe +
                        L"\" --gtest_also_run_disabled_tests --gtest_filter=IsolatedFaultsHelper.DISABLED_HoldsABridgedPlugin";
    // The child is a test run of its own, with logs of its own.
    wchar_t session[64] = {};
    GetEnvironmentVariableW(L"ORVANE_TEST_SESSION", session, 64);
    SetEnvironmentVariableW(L"ORVANE_TEST_SESSION", nullptr);
    SetEnvironmentVariableW(L"ORVANE_TEST_PID_FILE", pid_file.c_str());
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                               &si, &pi));
    SetEnvironmentVariableW(L"ORVANE_TEST_PID_FILE", nullptr);
    SetEnvironmentVariableW(L"ORVANE_TEST_SESSION", session);
    unique_handle player(pi.hProcess), thread(pi.hThread);
    DWORD bridge = 0;
    ASSERT_TRUE(wait_until([&] {
        const std::vector<unsigned char> b = read_file_bytes(pid_file);
        bridge = b.empty() ? 0 : static_cast<DWORD>(std::strtoul(std::string(b.begin(), b.end()).c_str(), nullptr, 10));
        return bridge != 0;
    }, 30000));
    EXPECT_FALSE(process_gone(bridge));
    TerminateProcess(player.get(), 9);
    EXPECT_TRUE(wait_until([&] { return process_gone(bridge); }, 10000));
}

// Run by the test above as a player of its own, which it then ends.
TEST(IsolatedFaultsHelper, DISABLED_HoldsABridgedPlugin) {
    linked_host host;
    plugin_hooks dll("recorder");
    vst v(entry(dll.path_utf8()), false, plugin_place::own_process);
    ASSERT_TRUE(v.loaded);
    wchar_t path[MAX_PATH] = {};
    ASSERT_TRUE(GetEnvironmentVariableW(L"ORVANE_TEST_PID_FILE", path, MAX_PATH));
    const std::string id = std::to_string(v.bridge()->process_id());
    write_file_bytes(path, std::vector<unsigned char>(id.begin(), id.end()));
    Sleep(INFINITE);
}

}  // namespace

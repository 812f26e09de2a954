// A plug-in in a process of its own that crashes, hangs or ends its process
// comes back with its settings: a fresh process, the rate and block size it
// had, its preset and every parameter set since. One that keeps stopping,
// or stops again while it is given its settings, is switched off; either
// way no process is left behind.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "../../host/audio_chunk.h"
#include "../../shell/identifier_text.h"
#include "../../vst/audio_processing.h"
#include "../../vst/isolated_plugin.h"
#include "../../vst/preset_state.h"
#include "../../vst/vst.h"
#include "../support/fault_settings.h"
#include "../support/linked_host.h"
#include "../support/offline_audio.h"
#include "../support/plugin_hooks.h"
#include "../support/process_probe.h"
#include "../support/relapse_faults.h"
#include "../support/test_deadlines.h"
#include "../support/test_paths.h"
#include "../support/window_probe.h"

namespace {

constexpr std::uint32_t k_frames = 1024;

// A preset of the relapse plug-ins: instance key, then its Gain, as a
// parameter list or as its chunk.
dsp_preset_impl gain_preset(float gain, bool chunk) {
    std::vector<unsigned char> data(12);
    const std::uint32_t key = 52000, count = chunk ? 4 : 1;
    std::memcpy(data.data(), &key, 4);
    std::memcpy(data.data() + 4, &count, 4);
    std::memcpy(data.data() + 8, &gain, 4);
    return dsp_preset_impl(identifier_from_unique_id(0x4F52656C), data);
}

// What one chunk of ones came back as: through the plug-in at `gain`,
// passed by (ones), or anything else.
enum class heard { effect, dry, other };

struct run_result {
    std::vector<heard> chunks;
    int count(heard h) const {
        int n = 0;
        for (heard c : chunks) n += c == h;
        return n;
    }
    // Chunks passed by from the first one that was not processed on.
    int dry_from(std::size_t first) const {
        int n = 0;
        for (std::size_t i = first; i < chunks.size(); ++i) n += chunks[i] == heard::dry;
        return n;
    }
};

heard hear(const audio_chunk& chunk, float gain) {
    const float* d = chunk.get_data();
    const std::size_t n = chunk.get_sample_count() * chunk.get_channels();
    bool all_effect = true, all_dry = true;
    for (std::size_t i = 0; i < n; ++i) {
        all_effect = all_effect && d[i] == gain;
        all_dry = all_dry && d[i] == 1.0f;
    }
    return all_effect ? heard::effect : all_dry ? heard::dry : heard::other;
}

// `chunks` chunks of ones through the plug-in, on a playback thread of its
// own, as the player runs audio; `pause_ms` between them.
run_result play(vst& v, int chunks, float gain, int pause_ms = 0) {
    run_result r;
    std::thread([&] {
        const std::vector<float> ones(std::size_t{k_frames} * 2, 1.0f);
        for (int i = 0; i < chunks; ++i) {
            audio_chunk_impl chunk;
            chunk.set_data(ones.data(), k_frames, 2, 44100, 3);
            EXPECT_TRUE(process_chunk(v, chunk));
            r.chunks.push_back(hear(chunk, gain));
            if (pause_ms) Sleep(static_cast<DWORD>(pause_ms));
        }
    }).join();
    return r;
}

std::string restarted(const char* how, const char* why, int n) {
    return std::string("The VST plug-in \"Relapse\" ") + how + " processReplacing (" + why +
           "); it was restarted with its settings (" + std::to_string(n) + " of 3).";
}

class IsolatedRestarts : public ::testing::Test {
protected:
    IsolatedRestarts() {
        // A block that never returns is given up after two seconds here.
        bridge_deadlines d = generous_test_deadlines();
        d.call_ms = 2000;
        set_bridge_deadlines(d);
    }
    ~IsolatedRestarts() override { set_bridge_deadlines(generous_test_deadlines()); }

    std::unique_ptr<vst> load(const char* name) {
        plugin_hooks dll(name);
        auto v = std::make_unique<vst>(entry(dll.path_utf8()), false, plugin_place::own_process);
        EXPECT_TRUE(v->loaded) << v->diagnosis;
        return v;
    }
    // The messages shown so far, once there are `expected` (a restart's is
    // queued by its own thread), or what came within five seconds.
    std::vector<std::string> messages(std::size_t expected) {
        wait_until([&] {
            host->pump();
            return host->popups().messages().size() >= expected;
        }, 5000);
        std::vector<std::string> texts;
        for (const popup_record& p : host->popups().messages()) texts.push_back(p.text);
        return texts;
    }
    linked_host host;
};

// Offline, at most the chunk that met the fault misses the effect, and the
// plug-in comes back with the preset it was given and the Gain set after it.
TEST_F(IsolatedRestarts, OneFaultCostsAtMostTwoChunksAndKeepsTheSettings) {
    struct fault_case {
        const char* dll;
        bool restart;
        std::string message;
    } cases[] = {
        {"relapse_crash", true, restarted("crashed in", "access violation", 1)},
        {"relapse_loop", true, restarted("stopped answering in", "its process was ended", 1)},
        {"relapse_exit", true, restarted("crashed in", "its process ended", 1)},
        // Without the setting, as before it: switched off for good.
        {"relapse_crash", false,
         "The VST plug-in \"Relapse\" crashed in processReplacing (access violation) and has been switched off. Its "
         "audio passes through unchanged from now on."},
    };
    for (const fault_case& c : cases) {
        SCOPED_TRACE(std::string(c.dll) + (c.restart ? " restarted" : " not restarted"));
        host->popups().clear();
        fault_settings settings(c.restart, false);
        relapse_faults faults(1, 40);
        offline_audio offline;
        auto v = load(c.dll);
        apply_preset(*v, gain_preset(0.75f, false));
        v->set_parameter(0, 0.25f);
        const DWORD first = v->bridge()->process_id();

        const run_result r = play(*v, 60, 0.25f);

        EXPECT_EQ(r.count(heard::other), 0);
        EXPECT_EQ(r.dry_from(0), r.dry_from(39));  // nothing missed before the fault
        EXPECT_EQ(r.count(heard::dry), c.restart ? 1 : 21);
        EXPECT_EQ(faults.done(), 1);
        EXPECT_EQ(v->restarts.load(), c.restart ? 1u : 0u);
        EXPECT_EQ(v->usable(), c.restart);
        EXPECT_EQ(messages(1), std::vector<std::string>{c.message});
        EXPECT_TRUE(wait_until([&] { return process_gone(first); }, 5000));
        const DWORD second = v->bridge() ? v->bridge()->process_id() : 0;
        EXPECT_EQ(second != 0 && second != first, c.restart);
        v.reset();
        if (second) {
            EXPECT_TRUE(wait_until([&] { return process_gone(second); }, 5000));
        }
    }
}

// While it plays as it is heard, the playback thread goes on without it: the
// chunks pass by until the restart is over, then carry the effect again.
TEST_F(IsolatedRestarts, AsPlayedTheAudioPassesByUntilItIsBack) {
    fault_settings settings(true, false);
    relapse_faults faults(1, 10);
    auto v = load("relapse_crash");
    v->set_parameter(0, 0.25f);
    run_result r = play(*v, 10, 0.25f);
    ASSERT_TRUE(wait_until([&] { return v->restarts.load() == 1; }, 20000));
    const run_result after = play(*v, 5, 0.25f);

    EXPECT_EQ(r.count(heard::effect), 9);
    EXPECT_EQ(r.chunks.back(), heard::dry);
    EXPECT_EQ(after.count(heard::effect), 5);
    EXPECT_EQ(messages(1), std::vector<std::string>{restarted("crashed in", "access violation", 1)});
}

// A process that ends while no call of ours runs in it (killed, or a
// thread of its own crashed) is found gone by the thread that serves its
// own threads' calls; the next chunk still meets the end, and brings the
// plug-in back.
TEST_F(IsolatedRestarts, AProcessEndedBetweenChunksIsMetByTheNextOne) {
    fault_settings settings(true, false);
    relapse_faults faults(0, 40);
    auto v = load("relapse_crash");
    v->set_parameter(0, 0.25f);
    EXPECT_EQ(play(*v, 3, 0.25f).count(heard::effect), 3);
    const DWORD first = v->bridge()->process_id();
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, first);
    ASSERT_NE(process, nullptr);
    TerminateProcess(process, 3);
    CloseHandle(process);
    ASSERT_TRUE(wait_until([&] { return process_gone(first); }, 5000));
    Sleep(200);  // time for the serving thread to find it gone first

    const run_result r = play(*v, 1, 0.25f);
    ASSERT_TRUE(wait_until([&] { return v->restarts.load() == 1; }, 20000));
    const run_result after = play(*v, 3, 0.25f);

    EXPECT_EQ(r.chunks, std::vector<heard>{heard::dry});
    EXPECT_EQ(after.count(heard::effect), 3);
    EXPECT_EQ(messages(1), std::vector<std::string>{restarted("crashed in", "its process ended", 1)});
    EXPECT_NE(v->bridge()->process_id(), first);
}

// Three restarts in a minute, then the fourth fault switches it off, and
// the message says why. It came back with its preset each time.
TEST_F(IsolatedRestarts, FourFaultsInAMinuteAreThreeRestartsThenOff) {
    fault_settings settings(true, false);
    relapse_faults faults(4, 5);
    offline_audio offline;
    auto v = load("relapse_crash");
    apply_preset(*v, gain_preset(0.75f, false));
    DWORD last = v->bridge()->process_id();
    std::vector<DWORD> processes{last};

    run_result r;
    for (int chunk = 0; chunk < 40; ++chunk) {
        r.chunks.push_back(play(*v, 1, 0.75f).chunks[0]);
        const DWORD now = v->bridge()->process_id();
        if (now && now != last) processes.push_back(last = now);
    }

    // Four lives of four blocks each; every chunk from the fourth fault on passes by.
    EXPECT_EQ(r.count(heard::effect), 16);
    EXPECT_EQ(r.count(heard::other), 0);
    EXPECT_EQ(r.dry_from(20), 20);
    EXPECT_EQ(v->restarts.load(), 3u);
    EXPECT_TRUE(v->faulted);
    EXPECT_EQ(messages(4),
              (std::vector<std::string>{
                  restarted("crashed in", "access violation", 1), restarted("crashed in", "access violation", 2),
                  restarted("crashed in", "access violation", 3),
                  "The VST plug-in \"Relapse\" crashed in processReplacing (access violation) and has been switched "
                  "off: it kept failing, after 3 restarts within a minute. Its audio passes through unchanged from "
                  "now on."}));
    v.reset();
    EXPECT_EQ(processes.size(), 4u);
    for (DWORD id : processes) EXPECT_TRUE(wait_until([&] { return process_gone(id); }, 5000)) << id;
}

// A plug-in that crashes on the state it is given back is not restarted
// again and again: the restart ends there, and it is switched off.
TEST_F(IsolatedRestarts, AFaultWhileItIsGivenItsStateEndsTheRestart) {
    fault_settings settings(true, false);
    relapse_faults faults(1, 5);
    offline_audio offline;
    auto v = load("relapse_set_chunk");
    apply_preset(*v, gain_preset(0.25f, true));
    const DWORD first = v->bridge()->process_id();

    const run_result r = play(*v, 10, 0.25f);

    EXPECT_EQ(r.count(heard::effect), 4);
    EXPECT_EQ(r.dry_from(4), 6);
    EXPECT_EQ(faults.done(), 1);
    EXPECT_EQ(v->restarts.load(), 0u);
    EXPECT_TRUE(v->faulted);
    EXPECT_EQ(messages(1), std::vector<std::string>{
                              "The VST plug-in \"Relapse\" crashed in processReplacing (access violation) and could "
                              "not be restarted: it crashed in effSetChunk (access violation) while it was given its "
                              "settings. It has been switched off. Its audio passes through unchanged from now on."});
    const DWORD second = v->bridge()->process_id();
    EXPECT_NE(second, first);
    v.reset();
    EXPECT_TRUE(wait_until([&] { return process_gone(first) && process_gone(second); }, 5000));
}

}  // namespace

// A plug-in in a process of its own is hung when a call has not returned
// within its hang limit, counted from the call's start: host calls it makes
// meanwhile do not restart the count. The user is told what happened and
// where: "stopped answering" for a hang, "crashed" for a crash, and the
// call or the window that ran the plug-in's code.
#include <gtest/gtest.h>

#include <thread>

#include "../../shell/identifier_text.h"
#include "../../vst/audio_processing.h"
#include "../../bridge/player/hang_limits.h"
#include "../../vst/preset_state.h"
#include "../../vst/vst.h"
#include "../support/linked_host.h"
#include "../support/loaded_plugin.h"
#include "../support/offline_audio.h"
#include "../support/plugin_hooks.h"
#include "../support/signals.h"
#include "../support/test_deadlines.h"
#include "../support/window_probe.h"

namespace {

// How much later than its limit a hung call may be found hung: a look at
// the clock and the end of a process, on a loaded machine.
constexpr ULONGLONG k_margin_ms = 1500;

std::string switched_off(const char* how, const char* where, const char* why) {
    return std::string("The VST plug-in \"Faulty\" ") + how + " " + where + " (" + why +
           ") and has been switched off. Its audio passes through unchanged from now on.";
}

class IsolatedHangs : public ::testing::Test {
protected:
    std::unique_ptr<vst> load(plugin_hooks& dll) { return load_plugin(dll, plugin_place::own_process); }
    std::vector<std::string> shown() {
        host->pump();
        std::vector<std::string> texts;
        for (const popup_record& p : host->popups().messages()) texts.push_back(p.text);
        return texts;
    }
    linked_host host;
};

// The plug-in loops in its third block and asks the host something every
// 50 ms. Played, the blocks after it pass it by while it is late; offline
// the job waits for it. Either way it is hung at its limit, not later.
TEST_F(IsolatedHangs, ABlockThatNeverReturnsIsHungAtItsLimitWhateverItAsksMeanwhile) {
    for (const bool offline : {false, true}) {
        SCOPED_TRACE(offline ? "offline" : "played");
        component_deadlines limits;
        offline_audio job(offline);
        plugin_hooks dll("fault_loop_host_process");
        auto v = load(dll);
        host->popups().clear();
        const std::vector<float> in = test_signal(1024, 2);
        std::vector<float> halved = in;
        for (float& s : halved) s *= 0.5f;
        std::vector<std::vector<float>> out;
        ULONGLONG hung_block_started = 0, found_hung = 0;
        std::thread([&] {
            for (int block = 1; block <= 400 && !v->faulted; ++block) {
                auto chunk = chunk_of(in, 2);
                const ULONGLONG started = GetTickCount64();
                if (block == 3) hung_block_started = started;
                process_chunk(*v, chunk);
                out.push_back(samples_of(chunk));
                if (v->faulted) found_hung = GetTickCount64();
                Sleep(20);
            }
        }).join();
        ASSERT_TRUE(v->faulted);
        const ULONGLONG took = found_hung - hung_block_started;
        EXPECT_GE(took, current_bridge_deadlines().call_ms);
        EXPECT_LE(took, current_bridge_deadlines().call_ms + k_margin_ms);
        ASSERT_GE(out.size(), 3u);
        EXPECT_EQ(out[0], halved);
        EXPECT_EQ(out[1], halved);
        for (std::size_t i = 2; i < out.size(); ++i) EXPECT_EQ(out[i], in) << i;
        if (offline) {
            EXPECT_EQ(out.size(), 3u);  // the job waited for the hung block
        }
        EXPECT_EQ(v->late_blocks.load() > 0, !offline);
        EXPECT_EQ(shown(), (std::vector<std::string>{
                               switched_off("stopped answering in", "processReplacing", "its process was ended")}));
    }
}

TEST_F(IsolatedHangs, AnEditorThatNeverOpensIsHungAtItsLimitWhateverItAsksMeanwhile) {
    component_deadlines limits;
    plugin_hooks dll("fault_loop_host_edit_open");
    auto v = load(dll);
    host->popups().clear();
    HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    const ULONGLONG started = GetTickCount64();
    v->dispatch(effEditOpen, 0, 0, parent);
    const ULONGLONG took = GetTickCount64() - started;
    DestroyWindow(parent);
    EXPECT_TRUE(v->faulted);
    EXPECT_GE(took, current_bridge_deadlines().open_ms);
    EXPECT_LE(took, current_bridge_deadlines().open_ms + k_margin_ms);
    EXPECT_EQ(shown(), (std::vector<std::string>{
                           switched_off("stopped answering in", "effEditOpen", "its process was ended")}));
}

// Short limits: these say what happened, however long it took.
TEST_F(IsolatedHangs, EachMessageSaysWhatHappenedAndWhere) {
    bridge_deadlines shorter = generous_test_deadlines();
    shorter.chunk_ms = 1500;
    shorter.call_ms = 1500;
    set_bridge_deadlines(shorter);
    struct hang_case {
        const char* dll;
        void (*act)(vst&);
        std::string message;
    } cases[] = {
        {"fault_loop_get_chunk",
         [](vst& v) {
             dsp_preset_impl p;
             capture_preset(v, identifier_from_unique_id(0x4F466C74), p);
         },
         switched_off("stopped answering in", "effGetChunk", "its process was ended")},
        {"fault_loop_set_parameter", [](vst& v) { v.set_parameter(0, 0.25f); },
         switched_off("stopped answering in", "setParameter", "its process was ended")},
        // Its own window's timer faults in the bridge's message loop, which
        // no call of ours was running: the message names the timer.
        {"fault_editor_timer",
         [](vst& v) {
             HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr,
                                           nullptr);
             v.dispatch(effEditOpen, 0, 0, parent);
             wait_until([&] {
                 v.dispatch(effEditIdle);
                 MSG m;
                 while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
                 return v.faulted.load();
             }, 10000);
             DestroyWindow(parent);
         },
         switched_off("crashed in", "its editor's timer", "access violation")},
    };
    for (const hang_case& c : cases) {
        SCOPED_TRACE(c.dll);
        plugin_hooks dll(c.dll);
        auto v = load(dll);
        host->popups().clear();
        c.act(*v);
        EXPECT_TRUE(v->faulted);
        EXPECT_EQ(shown(), std::vector<std::string>{c.message});
    }
    set_bridge_deadlines(generous_test_deadlines());
}

}  // namespace

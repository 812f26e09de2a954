// Plug-ins that misbehave without faulting, or fault where a single guard
// would not look: their floating-point state, their calls back after they
// were closed, idle requests from their audio, a second stack overflow on
// one thread, writes past their buffers.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "../../Helpers/utf.h"
#include "../../vst/audio_processing.h"
#include "../../vst/editor_link.h"
#include "../../vst/guard/fp_state.h"
#include "../../vst/host_callback.h"
#include "../../vst/vst.h"
#include "../support/linked_host.h"
#include "../support/loaded_plugin.h"
#include "../support/plugin_hooks.h"
#include "../support/settings_restorer.h"
#include "../support/signals.h"
#include "../support/test_paths.h"
#include "../support/window_probe.h"

void PrintTo(const fp_state& s, std::ostream* out) {
    *out << std::hex << "MXCSR " << s.mxcsr << ", x87 " << s.x87_control << std::dec;
}

namespace {

// The control bits only: the exception flags in MXCSR's low bits are status
// that every inexact operation of ours sets anew.
fp_state control(fp_state s) {
    s.mxcsr &= ~0x3Fu;
    return s;
}

}  // namespace

namespace {

// A state of the test's own, unlike any plug-in's: every exception masked,
// but rounding down, so it cannot be mistaken for a thread's default.
constexpr fp_state k_host_state{0x1F80u | 0x2000u, 0x067Fu};

class fp_state_restorer {
public:
    fp_state_restorer() : saved_(fp_state::now()) { k_host_state.apply(); }
    ~fp_state_restorer() { saved_.apply(); }

private:
    fp_state saved_;
};


// An editor on this thread that records the floating-point state its size
// requests come with.
class state_probe final : public editor_link {
public:
    bool resize_client(int, int) override {
        seen = fp_state::now();
        ++calls;
        return true;
    }
    bool post_resize(int, int) override {
        ++calls;
        return true;
    }
    DWORD window_thread() const override { return GetCurrentThreadId(); }
    fp_state seen{};
    int calls = 0;
};

class MisbehavingPlugins : public ::testing::Test {
protected:
    // What is contained here is the point, not where a plug-in runs next.
    MisbehavingPlugins() { isolate_after_crash_setting().set_state(false); }
    std::vector<popup_record> popups() {
        host->pump();
        return host->popups().messages();
    }
    static bool process(vst& v, audio_chunk& c) { return process_chunk(v, c); }

    settings_restorer keep_settings;
    linked_host host;
};

TEST_F(MisbehavingPlugins, EveryCallLeavesTheHostsFloatingPointStateAsItWas) {
    fp_state_restorer host_state;
    for (const char* dll : {"misbehaving_fp_flush", "misbehaving_fp_unmask"}) {
        SCOPED_TRACE(dll);
        plugin_hooks hooks(dll);
        auto v = load_plugin(hooks);  // the entry function unmasks exceptions in one of them
        EXPECT_EQ(control(fp_state::now()), k_host_state);
        state_probe probe;
        v->effect->resvd1 = reinterpret_cast<std::intptr_t>(static_cast<editor_link*>(&probe));
        auto c = chunk_of(test_signal(64, 2), 2);
        process(*v, c);
        v->effect->resvd1 = 0;
        EXPECT_EQ(control(fp_state::now()), k_host_state);
        // The one that asks for a window size from its audio, with its own
        // state set, finds ours in the callback.
        if (probe.calls) {
            EXPECT_EQ(control(probe.seen), k_host_state);
        }
        EXPECT_FALSE(v->faulted);
    }
    // Host arithmetic on what such a plug-in puts out raises nothing.
    volatile float nan = std::nanf("");
    EXPECT_TRUE(std::isnan(nan * 2.0f + 1.0f));
}

TEST_F(MisbehavingPlugins, TheNextPluginHearsTheDenormalsAPluginBeforeItFlushed) {
    plugin_hooks flush_dll("misbehaving_fp_flush"), halve_dll("fault_caught");  // the second halves
    auto flusher = load_plugin(flush_dll);
    auto halver = load_plugin(halve_dll);
    std::vector<float> tiny(2 * 64, 2e-38f);
    auto c = chunk_of(tiny, 2);
    process(*flusher, c);
    process(*halver, c);
    for (float s : samples_of(c)) ASSERT_EQ(s, 1e-38f);  // a denormal: not flushed to zero
}

// A plug-in's worker thread calls back with its record long after the
// instance was closed (and deleted by the plug-in itself).
TEST_F(MisbehavingPlugins, CallsBackAfterCloseFindNothingOfOurs) {
    plugin_hooks dll("misbehaving_late_callbacks");
    load_plugin(dll).reset();
    const auto late_calls = dll.hook<int (*)()>("misbehaving_late_calls");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (late_calls() < 200 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(late_calls(), 200);
    EXPECT_EQ(dll.hook<std::intptr_t (*)()>("misbehaving_late_nonzero_answer")(), 0);
    dll.hook<void (*)()>("misbehaving_stop")();
}

// A thread of the plug-in's own that still runs its code when the plug-in
// is closed keeps the DLL loaded: unloaded under it, it would take the
// player down at its next instruction. (No test object holds the DLL here.)
TEST_F(MisbehavingPlugins, ADllWhoseOwnThreadRunsOnAfterEffCloseStaysLoaded) {
    const std::wstring path = plugin_dll("misbehaving_stray_thread");
    {
        vst v(entry(wide_to_utf8(path)), false, plugin_place::in_process);
        ASSERT_TRUE(v.loaded) << v.diagnosis;
    }
    const HMODULE kept = GetModuleHandleW(path.c_str());
    ASSERT_NE(kept, nullptr);
    const auto done = reinterpret_cast<int (*)()>(reinterpret_cast<void*>(GetProcAddress(kept, "misbehaving_stray_done")));
    const auto calls = reinterpret_cast<int (*)()>(
        reinterpret_cast<void*>(GetProcAddress(kept, "misbehaving_stray_calls_after_close")));
    ASSERT_TRUE(done && calls);
    EXPECT_TRUE(wait_until([&] { return done() == 1; }, 10000));
    EXPECT_GT(calls(), 0);
}

TEST_F(MisbehavingPlugins, ARecordThatIsNotOneOfOursFindsNothing) {
    plugin_hooks dll("recorder");
    auto v = load_plugin(dll);
    state_probe editor;
    // A copy of a live instance's record: everything in it points at us.
    AEffect copy = *v->effect;
    copy.resvd1 = reinterpret_cast<std::intptr_t>(static_cast<editor_link*>(&editor));
    dll.clear();
    EXPECT_EQ(host_callback(&copy, audioMasterCurrentId, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(host_callback(&copy, audioMasterGetDirectory, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(host_callback(&copy, audioMasterSizeWindow, 300, 200, nullptr, 0.0f), 0);
    EXPECT_EQ(host_callback(&copy, audioMasterIdle, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(host_callback(&copy, audioMasterVersion, 0, 0, nullptr, 0.0f), 2400);
    EXPECT_EQ(editor.calls, 0);
    EXPECT_EQ(dll.opcodes(), std::vector<std::string>{});
}

TEST_F(MisbehavingPlugins, IdleIsNeitherServedInTheAudioNorEntered) {
    plugin_hooks dll("misbehaving_idle_recursion");
    auto v = load_plugin(dll);
    for (int block = 0; block < 3; ++block) {
        auto c = chunk_of(test_signal(64, 2), 2);
        process(*v, c);
    }
    EXPECT_EQ(dll.hook<int (*)()>("misbehaving_edit_idles")(), 0);
    // From another thread the editor gets its idle call, once: the plug-in's
    // request for more idle inside it is refused.
    EXPECT_EQ(dll.host_call(audioMasterIdle), 0);
    EXPECT_EQ(dll.hook<int (*)()>("misbehaving_edit_idles")(), 1);
    EXPECT_EQ(dll.hook<int (*)()>("misbehaving_edit_idles_in_audio")(), 0);
    EXPECT_EQ(dll.hook<int (*)()>("misbehaving_deepest_idle")(), 1);
    EXPECT_FALSE(v->faulted);
}

TEST_F(MisbehavingPlugins, SamplesThatAreNoNumbersLeaveAsSilenceAndAreToldOnce) {
    plugin_hooks dll("misbehaving_not_finite");  // passes through, but the first five left samples are odd
    auto v = load_plugin(dll);
    const std::vector<float> in = test_signal(64, 2);
    for (int block = 0; block < 2; ++block) {
        auto c = chunk_of(in, 2);
        process(*v, c);
        std::vector<float> expected = in;
        for (int frame = 0; frame < 4; ++frame) expected[2 * frame] = 0.0f;  // NaN, -NaN, +inf, -inf
        expected[2 * 4] = 1e30f;                                             // large, but a number
        EXPECT_EQ(samples_of(c), expected);
    }
    EXPECT_EQ(v->non_finite_samples.load(), 8u);
    EXPECT_FALSE(v->faulted);
    EXPECT_EQ(popups(), (std::vector<popup_record>{
                            {"The VST plug-in \"Misbehaving\" put out samples that are not numbers or are infinite. "
                             "They are replaced with silence, so that they cannot silence the rest of the playback.",
                             "Error", popup_message::icon_error}}));
}

// Two plug-ins whose stacks overflow, one after the other on one playback
// thread: the second is contained like the first.
TEST_F(MisbehavingPlugins, ASecondStackOverflowOnOneThreadIsContainedToo) {
    plugin_hooks dll("fault_stack");
    auto first = load_plugin(dll);
    auto second = load_plugin(dll);
    std::thread playback([&] {
        for (vst* v : {first.get(), second.get()})
            for (int block = 0; block < 3; ++block) {
                auto c = chunk_of(test_signal(64, 2), 2);
                process(*v, c);
            }
    });
    playback.join();
    EXPECT_TRUE(first->faulted);
    EXPECT_TRUE(second->faulted);
    const std::string text = "The VST plug-in \"Faulty\" crashed in processReplacing (stack overflow) and has been "
                             "switched off. Its audio passes through unchanged from now on.";
    EXPECT_EQ(popups(), (std::vector<popup_record>(2, {text, "Error", popup_message::icon_error})));
}

}  // namespace

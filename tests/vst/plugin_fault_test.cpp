// A plug-in that faults inside a call is switched off, never called again,
// its audio passes through from the fault on, the user is told once, and
// the process goes on. One that faulted in the player's process runs in a
// process of its own from its next load.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <thread>

#include "../../prefs/advanced_settings.h"
#include "../../prefs/process_choice.h"
#include "../../shell/identifier_text.h"
#include "../../vst/audio_processing.h"
#include "../../vst/pe_machine.h"
#include "../../vst/preset_state.h"
#include "../../vst/vst.h"
#include "../support/linked_host.h"
#include "../support/loaded_plugin.h"
#include "../support/plugin_hooks.h"
#include "../support/plugin_places.h"
#include "../support/settings_restorer.h"
#include "../support/signals.h"

namespace {

const char k_moved[] = " From its next load it runs in a process of its own.";

std::string switched_off(const char* call, const char* kind) {
    return std::string("The VST plug-in \"Faulty\" crashed in ") + call + " (" + kind +
           ") and has been switched off. Its audio passes through unchanged from now on.";
}

// Every faulty DLL is the same plug-in to the choice of a process.
const GUID k_faulty = identifier_from_unique_id(0x4F466C74);

// The same message and the same pass-through wherever the plug-in runs: in
// its own process, the bridge's guard reports the fault and the process is
// ended. In the player's process, the message also says where it runs next.
class PluginFaults : public ::testing::TestWithParam<plugin_place> {
protected:
    // A crash in the player's process moves the plug-in, as it does unless
    // the user says otherwise; one in its own process switches it off
    // (restarts have tests of their own).
    PluginFaults() { isolate_after_crash_setting().set_state(true); }
    std::unique_ptr<vst> load(plugin_hooks& dll) { return load_plugin(dll, GetParam()); }
    std::vector<popup_record> popups() {
        host->pump();
        return host->popups().messages();
    }
    bool in_players_process() const { return GetParam() == plugin_place::in_process; }

    settings_restorer keep_settings;
    linked_host host;
};

// Runs stereo blocks through the plug-in; answers what came back of each.
std::vector<std::vector<float>> run_blocks(vst& v, int count) {
    std::vector<std::vector<float>> out;
    for (int block = 0; block < count; ++block) {
        auto c = chunk_of(test_signal(256, 2), 2);
        EXPECT_TRUE(process_chunk(v, c));
        out.push_back(samples_of(c));
    }
    return out;
}

TEST_P(PluginFaults, LoadedPluginFaultingInACallIsSwitchedOffAndReportedOnce) {
    struct fault_case {
        const char* dll;
        const char* call;
        const char* kind;
        std::function<void(vst&)> provoke;
    };
    const GUID owner = k_faulty;
    const fault_case cases[] = {
        // Audio runs on its own thread: the message reaches the main thread's queue.
        {"fault_process", "processReplacing", "division by zero",
         [](vst& v) { std::thread([&] { run_blocks(v, 5); }).join(); }},
        {"fault_throw", "processReplacing", "C++ exception", [](vst& v) { run_blocks(v, 5); }},
        {"fault_stack", "processReplacing", "stack overflow", [](vst& v) { run_blocks(v, 5); }},
        {"fault_overrun", "processReplacing", "wrote past its buffers", [](vst& v) { run_blocks(v, 5); }},
        {"fault_get_chunk", "effGetChunk", "access violation",
         [&](vst& v) {
             dsp_preset_impl captured;
             capture_preset(v, owner, captured);
             EXPECT_EQ(captured.get_data_size(), 4u);  // the key alone
         }},
        {"fault_set_parameter", "setParameter", "access violation",
         [&](vst& v) {
             const float values[] = {0.25f, 0.75f};
             std::vector<unsigned char> data(8 + sizeof values);
             std::memcpy(data.data() + 8, values, sizeof values);
             apply_preset(v, dsp_preset_impl(owner, data));
         }},
        {"fault_edit_open", "effEditOpen", "access violation", [](vst& v) { v.dispatch(effEditOpen); }},
    };
    for (const fault_case& c : cases) {
        SCOPED_TRACE(c.dll);
        host->popups().clear();
        own_process_choice().assign({});
        plugin_hooks dll(c.dll);
        auto v = load(dll);
        c.provoke(*v);
        EXPECT_TRUE(v->faulted);
        EXPECT_FALSE(v->usable());
        EXPECT_EQ(popups(), (std::vector<popup_record>{{switched_off(c.call, c.kind) +
                                                            (in_players_process() ? k_moved : ""),
                                                        "Error", popup_message::icon_error}}));
        EXPECT_EQ(own_process_choice().moved_after_crash(owner), in_players_process());

        // Never called again, not even to close it; no second message.
        dll.clear();
        c.provoke(*v);
        v->dispatch(effMainsChanged, 0, 1);
        v.reset();
        EXPECT_EQ(dll.log(), std::vector<std::string>{});
        EXPECT_EQ(popups().size(), 1u);
    }
}

// Moved only from the player's process, only with the setting on, and never
// over a choice the user made.
TEST_P(PluginFaults, APluginThatCrashedIsMovedIntoItsOwnProcessIfTheUserLetsIt) {
    struct {
        const char* what;
        bool setting;
        bool chosen_by_hand;
        bool moved;
    } cases[] = {
        {"the setting on", true, false, in_players_process()},
        {"the setting off", false, false, false},
        {"chosen by hand before", true, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        host->popups().clear();
        isolate_after_crash_setting().set_state(c.setting);
        own_process_choice().assign(c.chosen_by_hand ? std::vector<GUID>{k_faulty} : std::vector<GUID>{});
        plugin_hooks dll("fault_process");
        auto v = load(dll);
        std::thread([&] { run_blocks(*v, 3); }).join();
        ASSERT_TRUE(v->faulted);
        EXPECT_EQ(popups(), (std::vector<popup_record>{{switched_off("processReplacing", "division by zero") +
                                                            (c.moved ? k_moved : ""),
                                                        "Error", popup_message::icon_error}}));
        EXPECT_EQ(own_process_choice().own_process(k_faulty), c.moved || c.chosen_by_hand);
        EXPECT_EQ(own_process_choice().moved_after_crash(k_faulty), c.moved);
        // Where the next instance of the listed plug-in runs.
        v.reset();
        entry listed(dll.path_utf8());
        listed.identifier = k_faulty;
        const bool foreign = pe_machine(dll.path()) != own_machine();
        vst next(listed, false);
        ASSERT_TRUE(next.loaded) << next.diagnosis;
        EXPECT_EQ(next.isolated(), c.moved || c.chosen_by_hand || foreign);
    }
}

TEST_P(PluginFaults, AudioPassesThroughUnchangedFromTheFaultOn) {
    // Both halve their input until their third block, which faults or
    // writes past its outputs.
    for (const char* name : {"fault_process", "fault_overrun"}) {
        SCOPED_TRACE(name);
        plugin_hooks dll(name);
        auto v = load(dll);
        const std::vector<float> in = test_signal(256, 2);
        std::vector<float> halved = in;
        for (float& s : halved) s *= 0.5f;
        EXPECT_EQ(run_blocks(*v, 5), (std::vector<std::vector<float>>{halved, halved, in, in, in}));
    }
}

// An exception that never leaves the plug-in is none of our business, on
// x86 too, where each module unwinds with its own copy of the unwinder
// unless a shared one is loaded by name.
TEST_P(PluginFaults, APluginThatCatchesItsOwnExceptionsKeepsWorking) {
    plugin_hooks dll("fault_caught");
    auto v = load(dll);
    std::vector<float> halved = test_signal(256, 2);
    for (float& s : halved) s *= 0.5f;
    EXPECT_EQ(run_blocks(*v, 3), (std::vector<std::vector<float>>(3, halved)));
    EXPECT_FALSE(v->faulted);
    EXPECT_EQ(popups(), std::vector<popup_record>{});
}

TEST_P(PluginFaults, FaultDuringValidationIsTheDiagnosis) {
    struct { const char* dll; const char* text; } cases[] = {
        {"fault_entry", "The VST plug-in crashed in its entry function (access violation)."},
        {"fault_open", "The VST plug-in crashed in effOpen (illegal instruction)."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dll);
        plugin_hooks dll(c.dll);
        dll.clear();
        auto v = std::make_unique<vst>(entry(dll.path_utf8()), false, GetParam());
        EXPECT_FALSE(v->loaded);
        EXPECT_EQ(v->diagnosis, std::string(c.text) + "\r\n\r\n" + dll.path_utf8());
        const std::size_t calls = dll.log().size();
        v.reset();
        EXPECT_EQ(dll.log().size(), calls);  // no effClose into a plug-in that faulted
        EXPECT_EQ(popups(), std::vector<popup_record>{});  // shown by whoever acquired it
    }
}

ORVANE_IN_BOTH_PLACES(PluginFaults);

}  // namespace

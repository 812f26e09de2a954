// Plug-ins that are slow, write their whole told block, show a dialog of
// their own or keep a large state, and work all the same in the player's
// process: in a process of their own they work too, with every sample right
// and no message, under the component's own hang limits.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "../../dsp/config_popup.h"
#include "../../prefs/advanced_settings.h"
#include "../../shell/identifier_text.h"
#include "../../vst/audio_processing.h"
#include "../../vst/declicker.h"
#include "../../bridge/player/hang_limits.h"
#include "../../vst/preset_state.h"
#include "../../vst/shared_instances.h"
#include "../../vst/vst.h"
#include "../../test_plugins/common/call_log.h"
#include "../support/linked_host.h"
#include "../support/loaded_plugin.h"
#include "../support/offline_audio.h"
#include "../support/plugin_hooks.h"
#include "../support/plugin_places.h"
#include "../support/signals.h"
#include "../support/test_deadlines.h"
#include "../support/window_probe.h"

namespace {

const GUID k_owner = identifier_from_unique_id(0x4F506174);

std::vector<float> halved(std::vector<float> v) {
    for (float& s : v) s *= 0.5f;
    return v;
}

class PatientPlugins : public ::testing::TestWithParam<plugin_place> {
protected:
    std::unique_ptr<vst> load(plugin_hooks& dll) { return load_plugin(dll, GetParam()); }
    std::vector<popup_record> popups() {
        host->pump();
        return host->popups().messages();
    }
    // Runs chunks of these sizes through the plug-in on a playback thread
    // of its own, as the player does; each chunk's samples as they came back.
    static std::vector<std::vector<float>> play(vst& v, const std::vector<std::size_t>& sizes) {
        std::vector<std::vector<float>> out;
        std::thread([&] {
            for (std::size_t frames : sizes) {
                auto chunk = chunk_of(test_signal(frames, 2), 2);
                EXPECT_TRUE(process_chunk(v, chunk));
                out.push_back(samples_of(chunk));
            }
        }).join();
        return out;
    }
    component_deadlines limits;  // the component's own: what "slow" is measured against
    linked_host host;
};

TEST_P(PatientPlugins, SlowResumeAndSampleRateCostTimeNotSound) {
    plugin_hooks dll("patient_slow_resume");
    auto v = load(dll);
    const std::vector<std::size_t> sizes = {1024, 1024, 512};
    const auto out = play(*v, sizes);
    for (std::size_t i = 0; i < sizes.size(); ++i) EXPECT_EQ(out[i], halved(test_signal(sizes[i], 2))) << i;
    EXPECT_FALSE(v->faulted);
    EXPECT_EQ(popups(), std::vector<popup_record>{});
}

// Played, a plug-in in a process of its own that is late with its first
// block loses the chunks that come meanwhile and no more: it keeps its
// place. As a file job, nothing is late and every chunk carries the effect.
TEST_P(PatientPlugins, ASlowFirstBlockIsLateNotHung) {
    for (const bool offline : {false, true}) {
        SCOPED_TRACE(offline ? "offline" : "played");
        plugin_hooks dll("patient_slow_first_block");
        auto v = load(dll);
        offline_audio job(offline);
        const std::vector<std::size_t> sizes(40, 512);
        std::vector<std::vector<float>> out;
        std::thread([&] {
            for (std::size_t frames : sizes) {
                auto chunk = chunk_of(test_signal(frames, 2), 2);
                process_chunk(*v, chunk);
                out.push_back(samples_of(chunk));
                Sleep(20);  // about a chunk's period, as played
            }
        }).join();
        std::size_t passed_by = 0;
        for (std::size_t i = 0; i < out.size(); ++i) {
            const bool dry = out[i] == test_signal(sizes[i], 2);
            EXPECT_TRUE(dry || out[i] == halved(test_signal(sizes[i], 2))) << i;
            // Once it is back, it stays back.
            if (dry) {
                EXPECT_EQ(passed_by, i);
                ++passed_by;
            }
        }
        const bool late_possible = !offline && GetParam() == plugin_place::own_process;
        EXPECT_EQ(passed_by > 0, late_possible);
        EXPECT_EQ(v->late_blocks.load() > 0, late_possible);
        EXPECT_LT(passed_by, out.size() / 2);
        EXPECT_FALSE(v->faulted);
        EXPECT_EQ(popups(), std::vector<popup_record>{});
    }
}

// A plug-in may write the block size it was told into every output, also
// when a chunk is shorter, and the declicker's blocks are shorter still.
TEST_P(PatientPlugins, WritingTheToldBlockSizeIsNoOverrunAnywhere) {
    plugin_hooks dll("patient_told_block");
    auto v = load(dll);
    const std::vector<std::size_t> sizes = {4096, 4096, 1000, 77};
    const auto out = play(*v, sizes);
    for (std::size_t i = 0; i < sizes.size(); ++i) EXPECT_EQ(out[i], halved(test_signal(sizes[i], 2))) << i;
    dll.clear();
    std::thread([&] { declick(*v); }).join();
    const std::vector<std::string> blocks(declicker_size_setting().get_value(), "process 256");
    EXPECT_EQ(dll.log(), blocks);
    EXPECT_FALSE(v->faulted);
    EXPECT_EQ(popups(), std::vector<popup_record>{});
}

// A state of tens of megabytes (sample-based plug-ins keep them) goes into
// a preset and back whole; one past the component's limit is refused with
// a message naming the plug-in and the size, and the state before stays.
TEST_P(PatientPlugins, LargeStatesAreKeptAndTooLargeOnesRefusedAloud) {
    plugin_hooks dll("patient_big_state");
    auto v = load(dll);
    dsp_preset_impl kept;
    ASSERT_TRUE(capture_preset(*v, k_owner, kept));
    const std::size_t size = std::size_t{65} << 20;
    ASSERT_EQ(kept.get_data_size(), 8 + size);
    std::vector<unsigned char> expected(size);
    for (std::size_t i = 0; i < size; ++i) expected[i] = static_cast<unsigned char>((i * 7 + 3) & 0xFF);
    EXPECT_EQ(std::memcmp(static_cast<const unsigned char*>(kept.get_data()) + 8, expected.data(), size), 0);

    dll.clear();
    apply_preset(*v, kept);
    char dispatched[64], line[64];
    std::snprintf(dispatched, sizeof dispatched, "dispatch %d 0 %zu 0", effSetChunk, size);
    std::snprintf(line, sizeof line, "set chunk 0 %zu %08x", size, log_hash(expected.data(), size));
    EXPECT_EQ(dll.log(), (std::vector<std::string>{dispatched, line}));

    v->dispatch(k_effect_vendor_specific, 0x4F53744D, 300);
    dsp_preset_impl refused;
    EXPECT_FALSE(capture_preset(*v, k_owner, refused));
    EXPECT_FALSE(v->faulted);
    EXPECT_EQ(popups(), (std::vector<popup_record>{
                            {"The VST plug-in \"Patient\" gave a state of 300.0 MB, more than the 256.0 MB the "
                             "component keeps. It was not kept; the state saved before stays.",
                             "Error", popup_message::icon_error}}));
}

// A dialog the plug-in's editor shows for 8 s (a file chooser, a message
// box) holds its editor's thread in a loop of its own: the plug-in is busy,
// not hung, and keeps its place and the edit made before it.
TEST_P(PatientPlugins, ADialogOfItsOwnKeepsItsPlaceAndItsEdits) {
    isolation_choice place(GetParam());
    plugin_hooks dll("patient_busy_dialog");
    entry slot(dll.path_utf8());
    slot.has_editor = true;
    slot.product_name = "Patient";
    const std::uint32_t key = 41100;
    const dsp_preset_impl preset(k_owner, std::vector<unsigned char>(reinterpret_cast<const unsigned char*>(&key),
                                                                      reinterpret_cast<const unsigned char*>(&key) + 4));
    vst* plugin = acquire_vst(slot, preset);
    ASSERT_TRUE(plugin->loaded) << plugin->diagnosis;
    dll.clear();
    struct preset_log final : dsp_preset_edit_callback {
        void on_preset_changed(const dsp_preset& p) override { presets.emplace_back(p); }
        std::vector<dsp_preset_impl> presets;
    } reports;
    bool dialog_closed = false;
    std::atomic<bool> returned{false};
    const DWORD me = GetCurrentThreadId();
    std::thread helper([&] {
        HWND w = nullptr;
        wait_until([&] { return (w = find_dialog(nullptr, me)) != nullptr || returned; });
        if (!w) return;
        const auto closed = [&] {
            for (const std::string& line : dll.log())
                if (line.rfind("dialog closed", 0) == 0) return true;
            return false;
        };
        dialog_closed = wait_until(closed, 20000);
        PostMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0);
    });
    show_config_popup_with_callback(slot, preset, nullptr, reports);
    returned = true;
    helper.join();

    EXPECT_TRUE(dialog_closed);
    EXPECT_FALSE(plugin->faulted);
    ASSERT_EQ(reports.presets.size(), 1u);
    const auto* data = static_cast<const unsigned char*>(reports.presets[0].get_data());
    ASSERT_EQ(reports.presets[0].get_data_size(), 12u);
    float gain = 0.0f;
    std::memcpy(&gain, data + 8, 4);
    EXPECT_EQ(gain, 0.75f);
    // The editor was served while the dialog showed.
    int idles = -1;
    for (const std::string& line : dll.log()) std::sscanf(line.c_str(), "dialog closed after %d", &idles);
    EXPECT_GT(idles, 0);
    EXPECT_EQ(popups(), std::vector<popup_record>{});
    release_vst(plugin);
}

ORVANE_IN_BOTH_PLACES(PatientPlugins);

}  // namespace

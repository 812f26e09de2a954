// "Match plug-in channels to the stream" and "Report plug-in delay to the
// player": what a plug-in is offered, the channels, layout and samples that
// come back for mono, stereo and six-channel streams with each setting off
// (the default rules) and on, wherever the plug-in runs.
#include <gtest/gtest.h>

#include <cstring>

#include "../../dsp/dsp_instance.h"
#include "../../prefs/advanced_settings.h"
#include "../../test_plugins/common/call_log.h"
#include "../../vst/audio_processing.h"
#include "../../vst/preset_state.h"
#include "../../vst/vst.h"
#include "../../vst/vst_ref.h"
#include "../support/linked_host.h"
#include "../support/loaded_plugin.h"
#include "../support/plugin_hooks.h"
#include "../support/plugin_places.h"
#include "../support/settings_restorer.h"
#include "../support/signals.h"

namespace {

// A chunk in the layout the player gives `channels` channels.
audio_chunk_impl stream_chunk(const std::vector<float>& samples, unsigned channels) {
    audio_chunk_impl c;
    c.set_data(samples.data(), samples.size() / channels, channels, 44100,
               audio_chunk::default_channel_mask(channels));
    return c;
}

std::vector<std::string> lines_starting(const std::vector<std::string>& log, const std::string& start) {
    std::vector<std::string> out;
    for (const std::string& line : log)
        if (line.rfind(start, 0) == 0) out.push_back(line);
    return out;
}

// What a layout plug-in hears offered for a stream of the player's layout.
std::string offer_line(unsigned channels) {
    switch (channels) {
        case 1: return "arrangement 1 1 type 0 speakers 0";
        case 2: return "arrangement 2 2 type 1 speakers 1 2";
        case 6: return "arrangement 6 6 type 15 speakers 1 2 3 4 5 6";
        default: return "";
    }
}

// The mono filter's output for one channel of interleaved `in`, from the
// memory `previous` (updated), at `amount`.
std::vector<float> filtered(const std::vector<float>& in, unsigned channels, unsigned channel, float amount,
                            float& previous) {
    std::vector<float> out;
    for (std::size_t f = 0; f < in.size() / channels; ++f) {
        const float x = in[f * channels + channel];
        out.push_back(x * (1.0f - amount) + previous * amount);
        previous = x;
    }
    return out;
}

std::vector<float> channel_of(const audio_chunk& c, unsigned channel) {
    std::vector<float> out;
    for (std::size_t f = 0; f < c.get_sample_count(); ++f) out.push_back(c.get_data()[f * c.get_channels() + channel]);
    return out;
}

class StreamMatch : public ::testing::TestWithParam<plugin_place> {
protected:
    std::unique_ptr<vst> load(plugin_hooks& dll) {
        auto v = load_plugin(dll, GetParam());
        dll.clear();
        return v;
    }
    void match(bool on) { match_channels_setting().set_state(on); }

    settings_restorer keep_settings;
    linked_host host;
};

// The gains that report 8 in / 8 out: one takes the stream's layout, one
// refuses it and runs as the default rules say (six outputs, the limit).
TEST_P(StreamMatch, LayoutPluginsOnEveryStreamWithTheSettingOffAndOn) {
    for (const char* name : {"layout_any", "layout_fixed"}) {
        plugin_hooks dll(name);
        for (bool on : {false, true}) {
            for (unsigned channels : {1u, 2u, 6u}) {
                SCOPED_TRACE(std::string(name) + (on ? " on, " : " off, ") + std::to_string(channels) + " ch");
                match(on);
                auto v = load(dll);
                const bool takes = on && std::string(name) == "layout_any";
                const unsigned out_channels = takes ? channels : 6;
                for (int chunk = 0; chunk < 2; ++chunk) {
                    const auto in = test_signal(256, channels, 0.25f + 0.25f * static_cast<float>(chunk));
                    auto c = stream_chunk(in, channels);
                    process_chunk(*v, c);
                    ASSERT_EQ(c.get_channels(), out_channels);
                    EXPECT_EQ(c.get_channel_config(), audio_chunk::default_channel_mask(out_channels));
                    ASSERT_EQ(c.get_sample_count(), 256u);
                    for (std::size_t f = 0; f < 256; ++f)
                        for (unsigned k = 0; k < out_channels; ++k)
                            ASSERT_EQ(c.get_data()[f * out_channels + k],
                                      k < channels ? in[f * channels + k] * static_cast<float>(k + 1) : 0.0f)
                                << f << " " << k;
                }
                // Offered once per layout, and only with the setting on.
                EXPECT_EQ(lines_starting(dll.log(), "arrangement"),
                          on ? std::vector<std::string>{offer_line(channels)} : std::vector<std::string>{});
                EXPECT_EQ(v->effect->numInputs, takes ? static_cast<std::int32_t>(channels) : 8);
            }
        }
    }
}

// Offered while suspended, after the sample rate and before the block size
// of the first chunk; a new channel count is offered again before its chunk.
TEST_P(StreamMatch, TheLayoutIsOfferedWhileSuspendedBeforeTheChunkThatBringsIt) {
    plugin_hooks dll("layout_any");
    match(true);
    auto v = load(dll);
    auto stereo = stream_chunk(test_signal(512, 2), 2);
    process_chunk(*v, stereo);
    std::vector<std::string> seen;
    for (const std::string& line : dll.log())
        if (line.rfind("dispatch 42 ", 0) != 0) seen.push_back(line);
    EXPECT_EQ(seen, (std::vector<std::string>{offer_line(2), "dispatch 12 0 0 0", "dispatch 10 0 0 44100",
                                              "dispatch 12 0 1 0", "dispatch 12 0 0 0", "dispatch 11 0 512 0",
                                              "dispatch 12 0 1 0", "process 512"}));
    dll.clear();
    auto six = stream_chunk(test_signal(512, 6), 6);
    process_chunk(*v, six);
    seen.clear();
    for (const std::string& line : dll.log())
        if (line.rfind("dispatch 42 ", 0) != 0) seen.push_back(line);
    EXPECT_EQ(seen, (std::vector<std::string>{"dispatch 12 0 0 0", offer_line(6), "dispatch 12 0 1 0",
                                              "dispatch 12 0 0 0", "dispatch 11 0 512 0", "dispatch 12 0 1 0",
                                              "process 512"}));
    EXPECT_EQ(six.get_channels(), 6u);
}

// A layout the player has no name for keeps its mask and its speakers.
TEST_P(StreamMatch, AnUnnamedLayoutKeepsItsMask) {
    plugin_hooks dll("layout_any");
    match(true);
    auto v = load(dll);
    const auto in = test_signal(64, 4);
    audio_chunk_impl c;
    c.set_data(in.data(), 64, 4, 44100, 0x603);  // front left and right, side left and right
    process_chunk(*v, c);
    EXPECT_EQ(lines_starting(dll.log(), "arrangement"),
              std::vector<std::string>{"arrangement 4 4 type -2 speakers 1 2 10 11"});
    EXPECT_EQ(c.get_channels(), 4u);
    EXPECT_EQ(c.get_channel_config(), 0x603u);
}

// With the setting off a mono plug-in gives back one channel, made from the
// left input alone; on, every channel goes through an instance of its own.
TEST_P(StreamMatch, MonoFilterRunsOncePerChannel) {
    plugin_hooks dll("mono_filter");
    for (bool on : {false, true}) {
        for (unsigned channels : {1u, 2u, 6u}) {
            SCOPED_TRACE(std::string(on ? "on, " : "off, ") + std::to_string(channels) + " ch");
            match(on);
            auto v = load(dll);
            const bool each = on && channels > 1;
            const unsigned out_channels = each ? channels : 1;
            std::vector<float> previous(channels, 0.0f);
            for (int chunk = 0; chunk < 3; ++chunk) {
                const auto in = test_signal(200 + 50 * static_cast<std::size_t>(chunk), channels);
                auto c = stream_chunk(in, channels);
                process_chunk(*v, c);
                ASSERT_EQ(c.get_channels(), out_channels);
                EXPECT_EQ(c.get_channel_config(), audio_chunk::default_channel_mask(out_channels));
                for (unsigned k = 0; k < out_channels; ++k)
                    EXPECT_EQ(channel_of(c, k), filtered(in, channels, k, 0.5f, previous[k])) << k;
            }
            // One instance per channel beyond the first, each opened once.
            EXPECT_EQ(dll.calls(effOpen), each ? static_cast<int>(channels) - 1 : 0);
            EXPECT_EQ(v->matching.further.count(), each ? channels - 1 : 0u);
            v.reset();
            EXPECT_EQ(dll.calls(effClose), each ? static_cast<int>(channels) : 1);
        }
    }
}

// A parameter set by the tool or a preset, or by the editor (which tells
// the host), reaches every instance; a capture takes the first's state once.
TEST_P(StreamMatch, ParameterChangesReachEveryInstance) {
    plugin_hooks dll("mono_filter");
    match(true);
    auto v = load(dll);
    const GUID owner = v->identifier;
    // State applied before the first chunk: the instances made then copy it.
    apply_preset(*v, dsp_preset_impl(owner, [] {
                     std::vector<unsigned char> data(12, 0);
                     const float amount = 0.25f;
                     data[4] = 1;
                     std::memcpy(data.data() + 8, &amount, 4);
                     return data;
                 }()));
    std::vector<float> previous(2, 0.0f);
    const auto check = [&](float amount) {
        const auto in = test_signal(128, 2, amount);
        auto c = stream_chunk(in, 2);
        process_chunk(*v, c);
        ASSERT_EQ(c.get_channels(), 2u);
        for (unsigned k = 0; k < 2; ++k) EXPECT_EQ(channel_of(c, k), filtered(in, 2, k, amount, previous[k])) << k;
    };
    check(0.25f);
    v->set_parameter(0, 0.125f);  // the tool's param command, a preset
    check(0.125f);
    v->dispatch(k_effect_vendor_specific, k_edit_parameter, 0, nullptr, 0.75f);  // the editor
    check(0.75f);
    dsp_preset_impl captured;
    ASSERT_TRUE(capture_preset(*v, owner, captured));
    ASSERT_EQ(captured.get_data_size(), 12u);
    float kept = 0.0f;
    std::memcpy(&kept, static_cast<const unsigned char*>(captured.get_data()) + 8, 4);
    EXPECT_EQ(kept, 0.75f);
}

// The end of a DSP instance runs silence through every instance.
TEST_P(StreamMatch, DeclickReachesEveryInstance) {
    plugin_hooks dll("mono_filter");
    isolation_choice place(GetParam());
    match(true);
    entry configured(dll.path_utf8());
    {
        service_ptr_t<dsp> instance = make_service<dsp_instance>(vst_ref(configured, dsp_preset_impl()));
        dsp_chunk_list_impl list;
        list.insert_item(0);
        const auto in = test_signal(256, 2);
        list.chunk(0)->set_data(in.data(), 256, 2, 44100, 3);
        instance->run(&list, nullptr, 0);
        ASSERT_EQ(list.chunk(0)->get_channels(), 2u);
        dll.clear();
    }
    // "Declicker size" is 4: four blocks through each of the two instances.
    EXPECT_EQ(lines_starting(dll.log(), "process"), std::vector<std::string>(8, "process 256"));
}

// Latency is none unless the setting says otherwise; then it is the
// plug-in's reported delay over the sample rate of its chunks.
TEST_P(StreamMatch, LatencyIsTheReportedDelayWhenTheSettingIsOn) {
    plugin_hooks dll("lookahead");
    isolation_choice place(GetParam());
    service_ptr_t<dsp> instance = make_service<dsp_instance>(vst_ref(entry(dll.path_utf8()), dsp_preset_impl()));
    EXPECT_EQ(instance->latency(), 0.0);
    report_delay_setting().set_state(true);
    EXPECT_EQ(instance->latency(), 0.0);  // no chunk yet: no rate to measure it in
    const auto in = test_signal(2500, 2);
    dsp_chunk_list_impl list;
    list.insert_item(0);
    list.chunk(0)->set_data(in.data(), 2500, 2, 48000, 3);
    instance->run(&list, nullptr, 0);
    EXPECT_EQ(instance->latency(), 1000.0 / 48000.0);
    // The plug-in delays by exactly what it reports.
    for (std::size_t i = 0; i < in.size(); ++i)
        ASSERT_EQ(list.chunk(0)->get_data()[i], i < 2000 ? 0.0f : in[i - 2000]) << i;
    report_delay_setting().set_state(false);
    EXPECT_EQ(instance->latency(), 0.0);
}

ORVANE_IN_BOTH_PLACES(StreamMatch);

}  // namespace

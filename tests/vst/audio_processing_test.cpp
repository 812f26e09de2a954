// Audio through a plug-in: what the plug-in is told, which samples go where,
// and the layout of what comes back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>

#include "../../prefs/advanced_settings.h"
#include "../../vst/audio_processing.h"
#include "../../vst/declicker.h"
#include "../../vst/vst.h"
#include "../support/linked_host.h"
#include "../support/loaded_plugin.h"
#include "../support/plugin_hooks.h"
#include "../support/plugin_places.h"
#include "../support/settings_restorer.h"
#include "../support/signals.h"

namespace {

class AudioProcessing : public ::testing::TestWithParam<plugin_place> {
protected:
    std::unique_ptr<vst> load(plugin_hooks& dll) {
        auto v = load_plugin(dll, GetParam());
        dll.clear();
        return v;
    }
    void set_limit(const char* text) { output_number_limit_setting().set_state(text, std::strlen(text)); }

    settings_restorer keep_settings;
    linked_host host;
};

TEST_P(AudioProcessing, WhatThePluginIsToldChunkByChunk) {
    plugin_hooks dll("recorder");
    auto v = load(dll);
    auto c = chunk_of(test_signal(1024, 2), 2, 44100);
    process_chunk(*v, c);
    EXPECT_EQ(dll.log(), (std::vector<std::string>{"dispatch 12 0 0 0", "dispatch 10 0 0 44100", "dispatch 12 0 1 0",
                                                   "dispatch 12 0 0 0", "dispatch 11 0 1024 0", "dispatch 12 0 1 0",
                                                   "process 1024"}));
    dll.clear();
    auto small = chunk_of(test_signal(512, 2), 2, 44100);
    process_chunk(*v, small);
    EXPECT_EQ(dll.log(), (std::vector<std::string>{"process 512"}));

    dll.clear();
    auto large = chunk_of(test_signal(2048, 2), 2, 44100);
    process_chunk(*v, large);
    EXPECT_EQ(dll.log(), (std::vector<std::string>{"dispatch 12 0 0 0", "dispatch 11 0 2048 0", "dispatch 12 0 1 0",
                                                   "process 2048"}));

    dll.clear();
    auto other_rate = chunk_of(test_signal(4096, 2), 2, 48000);
    process_chunk(*v, other_rate);
    EXPECT_EQ(dll.log(), (std::vector<std::string>{"dispatch 12 0 0 0", "dispatch 10 0 0 48000", "dispatch 12 0 1 0",
                                                   "dispatch 12 0 0 0", "dispatch 11 0 4096 0", "dispatch 12 0 1 0",
                                                   "process 4096"}));
    EXPECT_EQ(v->sample_rate, 48000u);
    EXPECT_EQ(v->block_size, 4096u);
}

TEST_P(AudioProcessing, MonoIntoStereoPlugin) {
    plugin_hooks dll("recorder");
    auto v = load(dll);
    auto in = test_signal(300, 1);
    auto c = chunk_of(in, 1);
    process_chunk(*v, c);
    ASSERT_EQ(c.get_channels(), 2u);
    EXPECT_EQ(c.get_channel_config(), 3u);
    ASSERT_EQ(c.get_sample_count(), 300u);
    for (std::size_t s = 0; s < 300; ++s) {
        EXPECT_EQ(c.get_data()[2 * s], in[s]) << s;
        EXPECT_EQ(c.get_data()[2 * s + 1], 0.0f) << s;
    }
}

TEST_P(AudioProcessing, FewerChannelsAfterMoreDoNotHearOldSamples) {
    plugin_hooks dll("recorder");
    auto v = load(dll);
    auto stereo = chunk_of(test_signal(256, 2), 2);
    process_chunk(*v, stereo);
    auto mono = chunk_of(test_signal(256, 1, 0.25f), 1);
    process_chunk(*v, mono);
    for (std::size_t s = 0; s < 256; ++s) EXPECT_EQ(mono.get_data()[2 * s + 1], 0.0f) << s;
}

TEST_P(AudioProcessing, OutputLimitDropsTheLastOutputs) {
    plugin_hooks dll("six_out");
    set_limit("2");
    auto v = load(dll);
    auto in = test_signal(128, 2);
    auto c = chunk_of(in, 2);
    process_chunk(*v, c);
    ASSERT_EQ(c.get_channels(), 2u);
    EXPECT_EQ(c.get_channel_config(), 3u);
    for (std::size_t s = 0; s < 128; ++s) {
        EXPECT_FLOAT_EQ(c.get_data()[2 * s], in[2 * s] * 1.0f);
        EXPECT_FLOAT_EQ(c.get_data()[2 * s + 1], in[2 * s + 1] * 2.0f);
    }
}

TEST_P(AudioProcessing, SixOutputsGrowTheChunk) {
    plugin_hooks dll("six_out");
    set_limit("6");
    auto v = load(dll);
    auto in = test_signal(100, 2);
    auto c = chunk_of(in, 2);
    ASSERT_EQ(c.get_data_size(), 200u);
    process_chunk(*v, c);
    ASSERT_EQ(c.get_channels(), 6u);
    EXPECT_EQ(c.get_channel_config(), 0x3Fu);
    EXPECT_GE(c.get_data_size(), 600u);
    for (std::size_t s = 0; s < 100; ++s)
        for (unsigned k = 0; k < 6; ++k)
            EXPECT_FLOAT_EQ(c.get_data()[6 * s + k], in[2 * s + k % 2] * static_cast<float>(k + 1)) << s << " " << k;
}

TEST_P(AudioProcessing, GainScalesEachChannel) {
    plugin_hooks dll("gain");
    auto v = load(dll);
    AEffect* e = v->effect;
    e->setParameter(e, 0, 0.375f);  // -24 + 48 * 0.375 = -6 dB
    const double factor = std::pow(10.0, -6.0 / 20.0);
    auto in = test_signal(512, 2);
    auto c = chunk_of(in, 2);
    process_chunk(*v, c);
    for (std::size_t i = 0; i < in.size(); ++i) EXPECT_NEAR(c.get_data()[i], in[i] * factor, 1e-6) << i;

    e->setParameter(e, 1, 0.0f);  // full left
    auto panned = chunk_of(in, 2);
    process_chunk(*v, panned);
    for (std::size_t s = 0; s < 512; ++s) {
        EXPECT_NEAR(panned.get_data()[2 * s], in[2 * s] * factor, 1e-6);
        EXPECT_EQ(panned.get_data()[2 * s + 1], 0.0f);
    }
}

TEST_P(AudioProcessing, TwoThreadsOnOneSharedPluginTakeTurns) {
    // Two chains built from one preset run one plug-in; chunk sizes grow on
    // both sides, so its buffers are reallocated while the other side plays.
    plugin_hooks dll("overlap_probe");  // copies input to output, slowly
    auto v = load(dll);
    auto run = [&](float scale, std::size_t first_frames) {
        for (int i = 0; i < 60; ++i) {
            const std::size_t frames = first_frames + static_cast<std::size_t>(i) * 7;
            const std::vector<float> in = test_signal(frames, 2, scale);
            auto c = chunk_of(in, 2);
            process_chunk(*v, c);
            ASSERT_EQ(std::vector<float>(c.get_data(), c.get_data() + in.size()), in) << "chunk " << i;
        }
    };
    std::thread a(run, 0.25f, 16);
    std::thread b(run, 0.75f, 40);
    a.join();
    b.join();
    const std::vector<std::string> log = dll.log();
    EXPECT_EQ(std::count(log.begin(), log.end(), "overlap"), 0);
}

TEST_P(AudioProcessing, DeclickRunsSilentBlocksThroughThePlugin) {
    plugin_hooks dll("recorder");
    auto v = load(dll);
    auto c = chunk_of(test_signal(512, 2), 2);
    process_chunk(*v, c);
    dll.clear();
    declick(*v);  // "Declicker size" is 4 unless set otherwise
    EXPECT_EQ(dll.log(), std::vector<std::string>(4, "process 256"));
}

ORVANE_IN_BOTH_PLACES(AudioProcessing);

TEST(ChannelMask, EveryOutputCount) {
    const unsigned expected[] = {0x0, 0x4, 0x3, 0xB, 0x33, 0x3B, 0x3F, 0xFB, 0xFF, 0x0};
    for (unsigned n = 0; n < 10; ++n) EXPECT_EQ(channel_mask_for(n), expected[n]) << n;
    EXPECT_EQ(channel_mask_for(32), 0u);
}

}  // namespace

// The tool and a chain's delay (taken out by default, kept on request, a
// tail let in), and plug-ins matched to the stream's channels, end to end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "../support/child_process.h"
#include "../support/signals.h"
#include "../support/test_paths.h"
#include "../support/tool_fixture.h"
#include "../support/wav_io.h"

namespace {

constexpr std::size_t k_lookahead_frames = 1000;  // what test_plugins/lookahead.cpp reports and delays by

class DelayAndChannels : public ToolFixture {
protected:
    // A run's output with Windows line ends as plain ones.
    tool_run says(std::vector<std::wstring> a) {
        tool_run r = orvane(std::move(a));
        for (std::string* text : {&r.out, &r.err}) text->erase(std::remove(text->begin(), text->end(), '\r'), text->end());
        return r;
    }
    // A float file, so that every sample comes back bit for bit.
    wav_data write_input(unsigned channels, std::size_t frames) {
        wav_data w{channels, 44100, 3, 32, test_signal(frames, channels)};
        write_wav(files.file(L"in.wav"), w);
        return w;
    }
    wav_data process(std::vector<std::wstring> options = {}) {
        std::vector<std::wstring> a = std::move(options);
        a.insert(a.end(), {L"process", files.file(L"in.wav"), files.file(L"out.wav")});
        last = orvane(a);
        EXPECT_EQ(last.exit_code, 0) << last.err << last.out;
        return read_wav(files.file(L"out.wav"));
    }
    void chain_of_lookaheads(int count) {
        ok({L"chain", L"clear"});
        for (int i = 0; i < count; ++i) ok({L"chain", L"add", L"Lookahead"});
    }
    tool_run last;
};

// The input `delay` frames late, in a file of `frames` frames: the silence
// the chain starts with, then the input, then silence.
std::vector<float> delayed(const wav_data& in, std::size_t delay, std::size_t frames) {
    std::vector<float> out(frames * in.channels, 0.0f);
    for (std::size_t i = delay * in.channels; i < out.size() && i - delay * in.channels < in.samples.size(); ++i)
        out[i] = in.samples[i - delay * in.channels];
    return out;
}

TEST_F(DelayAndChannels, TheChainsDelayIsTakenOutOrKept) {
    struct {
        int plugins;
        std::vector<std::wstring> options;
        bool compensated;
        double tail_seconds;
    } cases[] = {
        {1, {}, true, 0.0},
        {1, {L"--no-delay-compensation"}, false, 0.0},
        {1, {L"--tail", L"0.05"}, true, 0.05},
        {1, {L"--no-delay-compensation", L"--tail", L"0.1"}, false, 0.1},
        {2, {}, true, 0.0},
        {2, {L"--no-delay-compensation"}, false, 0.0},
    };
    ok({L"add", plugin_dll("lookahead")});
    for (const auto& c : cases) {
        for (bool own_process : {false, true}) {
            SCOPED_TRACE(std::to_string(c.plugins) + " plug-ins, " + (c.compensated ? "compensated" : "kept") +
                         ", tail " + std::to_string(c.tail_seconds) + (own_process ? ", own process" : ""));
            ok({L"isolate", L"1", own_process ? L"on" : L"off"});
            chain_of_lookaheads(c.plugins);
            const wav_data in = write_input(2, 5000);
            const wav_data out = process(c.options);
            const std::size_t delay = k_lookahead_frames * static_cast<std::size_t>(c.plugins);
            const auto tail = static_cast<std::size_t>(std::lround(c.tail_seconds * in.rate));
            ASSERT_EQ(out.channels, 2u);
            EXPECT_EQ(out.samples, delayed(in, c.compensated ? 0 : delay, 5000 + tail));
            char said[96];
            std::snprintf(said, sizeof said, "Delay: %zu frames (%.1f ms), %s", delay, 1000.0 * delay / in.rate,
                          c.compensated ? "taken out" : "kept");
            EXPECT_NE(last.out.find(said), std::string::npos) << last.out;
            EXPECT_EQ(last.out.find("Tail: ") != std::string::npos, tail > 0) << last.out;
        }
    }
}

TEST_F(DelayAndChannels, DelayOptionsGoWithProcessOnlyAndTakeSeconds) {
    struct {
        std::vector<std::wstring> args;
        std::string said;
    } cases[] = {
        {{L"--tail", L"1", L"plugins"}, "--no-delay-compensation and --tail go with process only"},
        {{L"--no-delay-compensation", L"chain"}, "--no-delay-compensation and --tail go with process only"},
        {{L"--tail", L"-1", L"process", L"a.wav", L"b.wav"}, "--tail takes a number of seconds from 0 to 3600, not \"-1\""},
        {{L"--tail", L"3601", L"process", L"a.wav", L"b.wav"},
         "--tail takes a number of seconds from 0 to 3600, not \"3601\""},
        {{L"--tail", L"1.", L"process", L"a.wav", L"b.wav"}, "--tail takes a number of seconds from 0 to 3600, not \"1.\""},
    };
    for (const auto& c : cases) {
        tool_run r = says(c.args);
        EXPECT_EQ(r.exit_code, 2) << r.err;
        EXPECT_EQ(r.err, "orvane: error: " + c.said + "\n");
    }
}

// The mono filter's output for one channel of the interleaved input.
std::vector<float> filtered(const wav_data& in, unsigned channel) {
    std::vector<float> out;
    float previous = 0.0f;
    for (std::size_t f = 0; f < in.samples.size() / in.channels; ++f) {
        const float x = in.samples[f * in.channels + channel];
        out.push_back(x * 0.5f + previous * 0.5f);
        previous = x;
    }
    return out;
}

TEST_F(DelayAndChannels, AMonoPluginKeepsAStereoSongStereoWhenMatched) {
    ok({L"add", plugin_dll("mono_filter")});
    ok({L"chain", L"add", L"Mono Filter"});
    const wav_data in = write_input(2, 3000);
    for (bool on : {false, true}) {
        for (bool own_process : {false, true}) {
            SCOPED_TRACE(std::string(on ? "on" : "off") + (own_process ? ", own process" : ""));
            ok({L"set", L"match-channels", on ? L"on" : L"off"});
            ok({L"isolate", L"1", own_process ? L"on" : L"off"});
            const wav_data out = process();
            ASSERT_EQ(out.channels, on ? 2u : 1u);
            ASSERT_EQ(out.samples.size(), 3000u * out.channels);
            for (unsigned k = 0; k < out.channels; ++k) {
                std::vector<float> got;
                for (std::size_t f = 0; f < 3000; ++f) got.push_back(out.samples[f * out.channels + k]);
                EXPECT_EQ(got, filtered(in, k)) << k;
            }
        }
    }
}

TEST_F(DelayAndChannels, SettingsAndHowEachPluginRunsOnStereo) {
    for (const char* name : {"layout_any", "layout_fixed", "mono_filter", "gain"}) ok({L"add", plugin_dll(name)});
    tool_run r = says({L"plugins"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out.find("Stereo"), std::string::npos) << r.out;  // off: nothing is loaded to find out

    r = says({L"set", L"match-channels", L"on"});
    EXPECT_EQ(r.out, "Match plug-in channels to the stream: on\n");
    r = says({L"set", L"report-delay", L"on"});
    EXPECT_EQ(r.out, "Report plug-in delay to the player: on\n");
    r = says({L"info"});
    EXPECT_NE(r.out.find("\n  Match plug-in channels to the stream: on   (orvane set match-channels on|off)\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\n  Report plug-in delay to the player: on   (orvane set report-delay on|off)\n"),
              std::string::npos)
        << r.out;

    r = says({L"plugins"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const std::string header = "  #  Product                  Vendor             I/O    Stereo       Process    Module\n";
    EXPECT_EQ(r.out.rfind(header, 0), 0u) << r.out;
    // The channel summary stays what validation found.
    for (const char* row : {"  1  Any Layout               Orvane Labs        8/8    2/2 matched  player     ",
                            "  2  Fixed Layout             Orvane Labs        8/8    as is        player     ",
                            "  3  Mono Filter              Orvane Labs        1/1    1/1 x2       player     ",
                            "  4  Orvane Gain              Orvane Labs        2/2    2/2          player     "})
        EXPECT_NE(r.out.find(row), std::string::npos) << row << "\n" << r.out;
}

}  // namespace

// The orvane tool end to end: separate processes, a real profile on disk,
// real WAV files in and out.
#include <gtest/gtest.h>

#include <cmath>

#include "../../Helpers/utf.h"
#include "../../Helpers/win32_handles.h"
#include "../support/child_process.h"
#include "../support/list_writer.h"
#include "../support/program_bytes.h"
#include "../support/signals.h"
#include "../support/test_paths.h"
#include "../support/tool_fixture.h"
#include "../support/wav_io.h"

namespace {

class OrvaneTool : public ToolFixture {
protected:
    std::wstring input(const wav_data& w, const wchar_t* name = L"in.wav") {
        write_wav(files.file(name), w);
        return files.file(name);
    }
};

wav_data stereo16(std::size_t frames) {
    wav_data w{2, 44100, 1, 16, test_signal(frames, 2)};
    // What 16-bit samples can hold, so the comparison is exact.
    for (float& s : w.samples) s = std::round(s * 32768.0f) / 32768.0f;
    return w;
}

TEST_F(OrvaneTool, GainEndToEndAndKeptBetweenRuns) {
    ok({L"add", plugin_dll("gain")});
    ok({L"chain", L"add", L"Orvane Gain"});
    ok({L"param", L"1", L"Gain", L"0.375"});
    wav_data in = stereo16(5000);
    std::wstring in_path = input(in);
    ok({L"process", in_path, files.file(L"out1.wav")});
    ok({L"process", in_path, files.file(L"out2.wav")});

    wav_data out = read_wav(files.file(L"out1.wav"));
    ASSERT_EQ(out.channels, 2u);
    EXPECT_EQ(out.rate, 44100u);
    EXPECT_EQ(out.format_tag, 3u);
    ASSERT_EQ(out.samples.size(), in.samples.size());
    const double factor = std::pow(10.0, -6.0 / 20.0);
    for (std::size_t i = 0; i < in.samples.size(); ++i)
        ASSERT_NEAR(out.samples[i], in.samples[i] * factor, 1e-6) << i;
    EXPECT_EQ(read_file_bytes(files.file(L"out1.wav")), read_file_bytes(files.file(L"out2.wav")));
}

TEST_F(OrvaneTool, EveryInputFormatReadsAlike) {
    ok({L"add", plugin_dll("recorder")});
    ok({L"chain", L"add", L"Recorder"});
    wav_data reference = stereo16(700);
    for (unsigned bits : {16u, 24u, 32u}) {
        wav_data w = reference;
        w.bits = bits;
        ok({L"process", input(w), files.file(L"out.wav")});
        wav_data out = read_wav(files.file(L"out.wav"));
        ASSERT_EQ(out.samples.size(), reference.samples.size()) << bits;
        for (std::size_t i = 0; i < out.samples.size(); ++i) ASSERT_EQ(out.samples[i], reference.samples[i]) << bits;
    }
    wav_data f = reference;
    f.format_tag = 3;
    f.bits = 32;
    tool_run r = orvane({L"--format", L"16", L"process", input(f), files.file(L"out16.wav")});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    wav_data out16 = read_wav(files.file(L"out16.wav"));
    EXPECT_EQ(out16.bits, 16u);
    for (std::size_t i = 0; i < out16.samples.size(); ++i) ASSERT_NEAR(out16.samples[i], reference.samples[i], 1.0 / 32767);
}

TEST_F(OrvaneTool, MonoThroughAStereoPluginComesOutStereo) {
    ok({L"add", plugin_dll("recorder")});
    ok({L"chain", L"add", L"1"});
    wav_data mono{1, 22050, 1, 24, test_signal(1500, 1)};
    ok({L"process", input(mono), files.file(L"out.wav")});
    wav_data out = read_wav(files.file(L"out.wav"));
    ASSERT_EQ(out.channels, 2u);
    EXPECT_EQ(out.rate, 22050u);
    ASSERT_EQ(out.samples.size(), 3000u);
    wav_data in = read_wav(files.file(L"in.wav"));
    for (std::size_t s = 0; s < 1500; ++s) {
        ASSERT_EQ(out.samples[2 * s], in.samples[s]) << s;
        ASSERT_EQ(out.samples[2 * s + 1], 0.0f) << s;
    }
}

TEST_F(OrvaneTool, SixOutputsLimitedToTwo) {
    ok({L"add", plugin_dll("six_out")});
    ok({L"set", L"output-limit", L"2"});
    ok({L"chain", L"add", L"Six Out"});
    wav_data in = stereo16(800);
    ok({L"process", input(in), files.file(L"out.wav")});
    wav_data out = read_wav(files.file(L"out.wav"));
    ASSERT_EQ(out.channels, 2u);
    ASSERT_EQ(out.samples.size(), in.samples.size());
    for (std::size_t s = 0; s < 800; ++s) {
        ASSERT_FLOAT_EQ(out.samples[2 * s], in.samples[2 * s]);
        ASSERT_FLOAT_EQ(out.samples[2 * s + 1], 2.0f * in.samples[2 * s + 1]);
    }
}

TEST_F(OrvaneTool, PluginThatFailsPassesAudioAndSaysWhy) {
    list_record broken{"C:\\nowhere\\broken.dll", "Broken", identifier_text(0x1234)};
    write_list_file(profile.file(L"vst_entries.bin"), {broken});
    ok({L"chain", L"add", L"Broken"});
    wav_data in = stereo16(600);
    tool_run r = orvane({L"process", input(in), files.file(L"out.wav")});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.err.find("Error: VST DLL doesn't exist. C:\\nowhere\\broken.dll"), std::string::npos) << r.err;
    wav_data out = read_wav(files.file(L"out.wav"));
    ASSERT_EQ(out.samples.size(), in.samples.size());
    for (std::size_t i = 0; i < in.samples.size(); ++i) ASSERT_EQ(out.samples[i], in.samples[i]);
}

TEST_F(OrvaneTool, PluginThatCrashesIsSwitchedOffAndTheRunFinishes) {
    ok({L"add", plugin_dll("fault_process")});  // halves audio until its third block divides by zero
    ok({L"chain", L"add", L"Faulty"});
    const auto list_before = read_file_bytes(profile.file(L"vst_entries.bin"));
    wav_data in = stereo16(256 * 6);
    tool_run r = orvane({L"--chunk", L"256", L"process", input(in), files.file(L"out.wav")});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const std::string message =
        "Error: The VST plug-in \"Faulty\" crashed in processReplacing (division by zero) and has been switched "
        "off. Its audio passes through unchanged from now on. From its next load it runs in a process of its own.";
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(message), r.err.rfind(message)) << "shown once";
    wav_data out = read_wav(files.file(L"out.wav"));
    ASSERT_EQ(out.samples.size(), in.samples.size());
    for (std::size_t i = 0; i < in.samples.size(); ++i)
        ASSERT_EQ(out.samples[i], i < 2 * 256 * 2 ? in.samples[i] * 0.5f : in.samples[i]) << i;
    // Where it runs changed (process_choice_cli_test.cpp); the list did not.
    EXPECT_EQ(read_file_bytes(profile.file(L"vst_entries.bin")), list_before);
}

struct bad_case {
    const char* what;
    std::vector<std::wstring> arguments;
    std::string message;
};

TEST_F(OrvaneTool, BadInputsFailCleanlyAndChangeNothing) {
    ok({L"add", plugin_dll("gain")});
    ok({L"chain", L"add", L"Orvane Gain"});
    write_file_bytes(files.file(L"text.wav"), {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!'});
    wav_data eight{1, 8000, 1, 8, test_signal(100, 1)};
    std::wstring eight_path = input(eight, L"eight.wav");
    const std::wstring out = files.file(L"out.wav");

    std::vector<bad_case> cases = {
        {"missing input", {L"process", files.file(L"missing.wav"), out}, "cannot open the input file"},
        {"not a WAV", {L"process", files.file(L"text.wav"), out}, "is not a WAV file"},
        {"8-bit PCM", {L"process", eight_path, out}, "is in an unsupported WAV format (integer PCM, 8 bits)"},
        {"failing plug-in",
         {L"add", plugin_dll("no_outputs")},
         "The VST plug-in has no inputs and/or outputs and hence isn't an effect. ("},
        {"duplicate plug-in", {L"add", plugin_dll("gain")}, "This plug-in is already in the list."},
        {"unknown DSP", {L"chain", L"add", L"Reverb"}, "no DSP named \"Reverb\""},
        {"parameter out of range", {L"param", L"1", L"Gain", L"7"}, "a parameter value runs from 0 to 1"},
        {"unknown parameter", {L"param", L"1", L"Width", L"0.5"}, "no parameter \"Width\""},
        {"bad setting value", {L"set", L"declicker", L"-5"}, "the value must be a whole number"},
    };
    for (const bad_case& c : cases) {
        auto before = folder_contents(profile.path());
        tool_run r = orvane(c.arguments);
        EXPECT_EQ(r.exit_code, 1) << c.what;
        EXPECT_EQ(r.err.rfind("orvane: error: ", 0), 0u) << c.what << ": " << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.what << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.what << ": " << r.err;
        EXPECT_FALSE(file_exists(out)) << c.what;
        EXPECT_FALSE(file_exists(out + L".part")) << c.what;
        EXPECT_EQ(folder_contents(profile.path()), before) << c.what;
    }
}

// A state file of which nothing can be read is refused and left alone. A
// damaged chain position costs that position alone: the rest loads, and
// the tool says which was left out.
TEST_F(OrvaneTool, ADamagedProfileCostsOnlyWhatIsDamaged) {
    ok({L"add", plugin_dll("gain")});
    ok({L"chain", L"add", L"Orvane Gain"});
    ok({L"param", L"1", L"Gain", L"0.375"});  // -6 dB; position 2 keeps 0 dB
    ok({L"chain", L"add", L"Orvane Gain"});
    const std::vector<unsigned char> state = read_file_bytes(profile.file(L"velmora-state.bin"));
    ASSERT_GT(state.size(), 20u);
    // Where the positions' bytes start: after the header, the settings and
    // the table of two positions.
    const std::size_t settings = state[8] | state[9] << 8 | state[10] << 16 | std::size_t{state[11]} << 24;
    const std::size_t first_position = 16 + settings + 4 + 2 * 28;
    ASSERT_LT(first_position, state.size());
    const wav_data in = stereo16(300);
    const double minus_six = std::pow(10.0, -6.0 / 20.0);
    struct damage_case {
        const char* what;
        std::vector<unsigned char> bytes;
        std::string warning;  // empty: refused as a whole
        double factor;
    };
    std::vector<unsigned char> flipped = state;
    flipped[first_position] ^= 0x5A;
    const damage_case cases[] = {
        {"cut in its header", std::vector<unsigned char>(state.begin(), state.begin() + 6), "", 0.0},
        {"position 1 damaged", flipped, "chain position 1's settings are damaged and were left out", 1.0},
        {"position 2 cut short", std::vector<unsigned char>(state.begin(), state.end() - 1),
         "chain position 2's settings are damaged and were left out", minus_six},
    };
    for (const damage_case& c : cases) {
        SCOPED_TRACE(c.what);
        write_file_bytes(profile.file(L"velmora-state.bin"), c.bytes);
        DeleteFileW(files.file(L"out.wav").c_str());
        tool_run r = orvane({L"process", input(in), files.file(L"out.wav")});
        EXPECT_EQ(read_file_bytes(profile.file(L"velmora-state.bin")), c.bytes);
        if (c.warning.empty()) {
            EXPECT_EQ(r.exit_code, 1);
            EXPECT_NE(r.err.find("the profile's saved state is damaged"), std::string::npos) << r.err;
            EXPECT_FALSE(file_exists(files.file(L"out.wav")));
            continue;
        }
        ASSERT_EQ(r.exit_code, 0) << r.err;
        r.err.erase(std::remove(r.err.begin(), r.err.end(), '\r'), r.err.end());
        EXPECT_EQ(r.err, "orvane: warning: the profile's saved state is damaged: " + c.warning + " (" +
                             wide_to_utf8(profile.file(L"velmora-state.bin")) + ")\n");
        const wav_data out = read_wav(files.file(L"out.wav"));
        ASSERT_EQ(out.samples.size(), in.samples.size());
        for (std::size_t i = 0; i < in.samples.size(); ++i)
            ASSERT_NEAR(out.samples[i], in.samples[i] * c.factor, 1e-6) << i;
    }
}

TEST_F(OrvaneTool, ParametersAndProgramFilesOfAChainPosition) {
    ok({L"add", plugin_dll("gain")});
    ok({L"chain", L"add", L"Orvane Gain"});
    auto lines = [](std::string out) {
        out.erase(std::remove(out.begin(), out.end(), '\r'), out.end());
        return out;
    };
    tool_run shown = orvane({L"params", L"1"});
    ASSERT_EQ(shown.exit_code, 0) << shown.err;
    EXPECT_EQ(lines(shown.out),
              "  1  Gain                   0.5000   +0.0 dB\n"
              "  2  Pan                    0.5000   +0 %\n"
              "  3  Invert                 0.0000   Off \n");

    write_file_bytes(files.file(L"gain.fxp"), fxp_parameters(0x4F47616E, {0.25f, 0.75f, 1.0f}));
    tool_run loaded = orvane({L"fxp", L"1", files.file(L"gain.fxp")});
    ASSERT_EQ(loaded.exit_code, 0) << loaded.err;
    EXPECT_EQ(lines(loaded.out),
              "Loaded " + wide_to_utf8(files.file(L"gain.fxp")) + " into chain position 1 (Orvane Gain)\n");
    EXPECT_EQ(loaded.err, "");
    shown = orvane({L"params", L"1"});
    EXPECT_NE(shown.out.find("  1  Gain                   0.2500   -12.0 dB"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("  3  Invert                 1.0000   On"), std::string::npos) << shown.out;

    // Refusals are one line, and the position keeps its settings.
    write_file_bytes(files.file(L"other.fxp"), fxp_parameters(0x4F526563, {0.5f}));
    const auto before = folder_contents(profile.path());
    tool_run refused = orvane({L"fxp", L"1", files.file(L"other.fxp")});
    EXPECT_EQ(refused.exit_code, 1);
    EXPECT_EQ(lines(refused.err), "orvane: error: " + wide_to_utf8(files.file(L"other.fxp")) +
                                      ": VST ID mismatch. Most probably, this FXP is for another VST.\n");
    EXPECT_EQ(folder_contents(profile.path()), before);
}

TEST_F(OrvaneTool, PluginThatCrashesWhileSetKeepsThePositionsSettings) {
    ok({L"add", plugin_dll("fault_set_parameter")});
    ok({L"chain", L"add", L"Faulty"});
    const auto before = folder_contents(profile.path());
    tool_run r = orvane({L"param", L"1", L"1", L"0.25"});
    EXPECT_EQ(r.exit_code, 1);
    r.err.erase(std::remove(r.err.begin(), r.err.end(), '\r'), r.err.end());
    EXPECT_EQ(r.err, "orvane: error: Faulty crashed and was switched off; chain position 1 keeps its settings\n");
    EXPECT_EQ(folder_contents(profile.path()), before);
}

TEST_F(OrvaneTool, InfoShowsTheComponentAndItsEffects) {
    ok({L"add", plugin_dll("gain")});
    tool_run r = orvane({L"info"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.out.find("Orvane 0.8.0.1 (vel_vst.dll)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("DSP effects: 1"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Orvane Gain"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Output number limit    6"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Declicker size         4"), std::string::npos) << r.out;
}

TEST(OrvaneDemo, RunsWithoutArgumentsAndNamesItsOutputAsTheLinuxUserFindsIt) {
    tool_run r = run_orvane({});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.out.find("Added Orvane Gain by Orvane Labs, 2/2"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Processed 132300 frames"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("peak -12.0 dBFS"), std::string::npos) << r.out;

    // "Wrote C:\...\demo-output.wav (/.../demo-output.wav), ...": the Unix
    // path, seen through Wine's drive for the Unix root, is the same file.
    const std::string wrote = "Wrote ";
    const std::size_t line = r.out.find(wrote);
    ASSERT_NE(line, std::string::npos) << r.out;
    const std::size_t open = r.out.find(" (/", line), close = r.out.find("), ", line);
    ASSERT_TRUE(open != std::string::npos && close != std::string::npos && open < close) << r.out;
    const std::wstring windows_path = utf8_to_wide(r.out.substr(line + wrote.size(), open - line - wrote.size()));
    std::wstring through_root = L"Z:" + utf8_to_wide(r.out.substr(open + 2, close - open - 2));
    for (wchar_t& c : through_root) if (c == L'/') c = L'\\';
    EXPECT_NE(windows_path.find(L"demo-output.wav"), std::wstring::npos);
    BY_HANDLE_FILE_INFORMATION a{}, b{};
    const auto open_file = [](const std::wstring& path) {
        return make_file_handle(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, 0, nullptr));
    };
    unique_handle first = open_file(windows_path), second = open_file(through_root);
    ASSERT_TRUE(GetFileInformationByHandle(first.get(), &a) && GetFileInformationByHandle(second.get(), &b));
    EXPECT_EQ(a.nFileIndexLow, b.nFileIndexLow);
    EXPECT_EQ(a.nFileIndexHigh, b.nFileIndexHigh);
    EXPECT_EQ(a.dwVolumeSerialNumber, b.dwVolumeSerialNumber);
    first.reset();
    second.reset();
    DeleteFileW(windows_path.c_str());
}

}  // namespace

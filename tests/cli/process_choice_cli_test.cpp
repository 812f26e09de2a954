// Where each plug-in runs, through the orvane tool: `isolate`, `add
// --isolate`, the "Process" column of `plugins`, the setting "Run every
// plug-in in its own process", all kept in the profile between runs, a
// plug-in that would end the player's process contained in its own, and one
// that crashed in the player's process moved into its own.
#include <gtest/gtest.h>

#include <algorithm>

#include "../../Helpers/utf.h"
#include "../support/list_writer.h"
#include "../support/signals.h"
#include "../support/tool_fixture.h"
#include "../support/wav_io.h"

namespace {

std::string without_cr(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

class ProcessChoiceTool : public ToolFixture {
protected:
    // What a command printed, every line.
    std::string says(std::vector<std::wstring> a) {
        tool_run r = orvane(std::move(a));
        EXPECT_EQ(r.exit_code, 0) << r.err;
        return without_cr(r.out);
    }
    // The "Process" column of `plugins`, row by row.
    std::vector<std::string> processes() {
        const std::string listed = says({L"plugins"});
        std::vector<std::string> out;
        const std::size_t header = listed.find("Process"), width = listed.find("Module") - header;
        for (std::size_t at = listed.find('\n'); at != std::string::npos && at + 1 < listed.size();
             at = listed.find('\n', at + 1)) {
            std::string process = listed.substr(at + 1 + header, width);
            process.erase(process.find_last_not_of(' ') + 1);
            out.push_back(process);
        }
        return out;
    }
};

TEST_F(ProcessChoiceTool, EachPluginRunsWhereItsChoiceSaysFromRunToRun) {
    const std::string gain = wide_to_utf8(plugin_dll("gain")), recorder = wide_to_utf8(plugin_dll("recorder"));
    EXPECT_EQ(says({L"add", plugin_dll("gain")}), "Added Orvane Gain by Orvane Labs, 2/2, as effect 1\n");
    EXPECT_EQ(says({L"add", L"--isolate", plugin_dll("recorder")}),
              "Added Recorder by Orvane Labs, 2/2, as effect 2\nIt runs in a process of its own.\n");
    EXPECT_EQ(says({L"plugins"}),
              "  #  Product                  Vendor             I/O    Process    Module\n"
              "  1  Orvane Gain              Orvane Labs        2/2    player     " + gain + "\n" +
              "  2  Recorder                 Orvane Labs        2/2    own        " + recorder + "\n");

    EXPECT_EQ(says({L"isolate", L"1", L"on"}), "Orvane Gain runs in a process of its own from its next load.\n");
    EXPECT_EQ(says({L"isolate", L"recorder", L"off"}), "Recorder runs in the player's process from its next load.\n");
    EXPECT_EQ(processes(), (std::vector<std::string>{"own", "player"}));

    EXPECT_EQ(says({L"set", L"isolate-all", L"on"}), "Run every plug-in in its own process: on\n");
    EXPECT_EQ(processes(), (std::vector<std::string>{"own", "own (all)"}));
    EXPECT_NE(says({L"info"}).find("\n  Run every plug-in in its own process: on   (orvane set isolate-all on|off)\n"),
              std::string::npos);
    EXPECT_EQ(says({L"isolate", L"Orvane Gain", L"off"}),
              "Orvane Gain runs in the player's process from its next load, once \"Run every plug-in in its own "
              "process\" is off (orvane set isolate-all off).\n");
    EXPECT_EQ(says({L"set", L"isolate-all", L"off"}), "Run every plug-in in its own process: off\n");
    EXPECT_EQ(processes(), (std::vector<std::string>{"player", "player"}));
    EXPECT_NE(says({L"info"}).find("\n  Run every plug-in in its own process: off   (orvane set isolate-all on|off)\n"),
              std::string::npos);

    // A plug-in that leaves the list leaves its choice behind.
    says({L"isolate", L"2", L"on"});
    says({L"remove", L"2"});
    says({L"add", plugin_dll("recorder")});
    EXPECT_EQ(processes(), (std::vector<std::string>{"player", "player"}));
}

TEST_F(ProcessChoiceTool, ADllOfTheOtherArchitectureAlwaysRunsInItsOwn) {
    write_list_file(profile.file(L"vst_entries.bin"),
                    {{wide_to_utf8(other_architecture_plugin_dll("gain")), "Orvane Gain", identifier_text(0x4F47616E)}});
    const std::string kind = sizeof(void*) == 8 ? "x86" : "x64";
    EXPECT_EQ(processes(), std::vector<std::string>{"own (" + kind + ")"});
    EXPECT_EQ(says({L"isolate", L"1", L"on"}), "Orvane Gain runs in a process of its own (an " + kind + " DLL always does).\n");
    const auto before = folder_contents(profile.path());
    tool_run r = orvane({L"isolate", L"1", L"off"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(without_cr(r.err),
              "orvane: error: Orvane Gain is an " + kind + " DLL: it always runs in a process of its own\n");
    EXPECT_EQ(folder_contents(profile.path()), before);
}

TEST_F(ProcessChoiceTool, MisuseIsOneLineAndChangesNothing) {
    says({L"add", plugin_dll("gain")});
    const auto before = folder_contents(profile.path());
    struct {
        std::vector<std::wstring> arguments;
        int exit_code;
        std::string error;
    } cases[] = {
        {{L"isolate", L"1"}, 2, "usage: orvane isolate NUMBER|PRODUCT on|off"},
        {{L"isolate", L"1", L"yes"}, 2, "usage: orvane isolate NUMBER|PRODUCT on|off"},
        {{L"isolate", L"3", L"on"}, 1, "no plug-in 3 (there is 1)"},
        {{L"isolate", L"Reverb", L"on"}, 1, "no plug-in \"Reverb\""},
        {{L"--isolate", L"plugins"}, 2, "--isolate goes with add only"},
        {{L"set", L"isolate-all", L"1"}, 1, "the value must be on or off, not \"1\""},
        {{L"set", L"isolate-after-crash", L"yes"}, 1, "the value must be on or off, not \"yes\""},
        {{L"set", L"restart"}, 2,
         "usage: orvane set output-limit|declicker|isolate-all|match-channels|report-delay|restart|"
         "isolate-after-crash VALUE"},
    };
    for (const auto& c : cases) {
        tool_run r = orvane(c.arguments);
        EXPECT_EQ(r.exit_code, c.exit_code) << c.error;
        EXPECT_EQ(without_cr(r.err), "orvane: error: " + c.error + "\n");
        EXPECT_EQ(folder_contents(profile.path()), before) << c.error;
    }
}

// In the player's process this plug-in would end it at its third chunk.
// It ends its process on its third block in every life: restarted, it costs
// the player that chunk each time; with restarts off, the rest of the file.
TEST_F(ProcessChoiceTool, APluginInItsOwnProcessCannotEndThePlayers) {
    says({L"add", L"--isolate", plugin_dll("fault_exit")});
    says({L"chain", L"add", L"Faulty"});
    const wav_data in{2, 44100, 3, 32, test_signal(8 * 1024, 2)};
    write_wav(files.file(L"in.wav"), in);
    const std::string restarted = "The VST plug-in \"Faulty\" crashed in processReplacing (its process ended); it was "
                                  "restarted with its settings (";
    struct restart_case {
        bool restart;
        std::vector<std::string> said;
        std::vector<bool> processed;  // per chunk of 1024 frames
    } cases[] = {
        {true,
         {restarted + "1 of 3).", restarted + "2 of 3).",
          "chain position 1 (Faulty) stopped in its own process and was restarted 2 times"},
         {true, true, false, true, true, false, true, true}},
        {false,
         {"The VST plug-in \"Faulty\" crashed in processReplacing (its process ended) and has been switched off. Its "
          "audio passes through unchanged from now on."},
         {true, true, false, false, false, false, false, false}},
    };
    for (const restart_case& c : cases) {
        SCOPED_TRACE(c.restart);
        says({L"set", L"restart", c.restart ? L"on" : L"off"});
        tool_run r = orvane({L"--chunk", L"1024", L"process", files.file(L"in.wav"), files.file(L"out.wav")});
        ASSERT_EQ(r.exit_code, 0) << r.err;
        for (const std::string& text : c.said) EXPECT_NE(r.err.find(text), std::string::npos) << text << "\n" << r.err;
        const wav_data out = read_wav(files.file(L"out.wav"));
        ASSERT_EQ(out.samples.size(), in.samples.size());
        std::vector<bool> processed;
        for (std::size_t chunk = 0; chunk < 8; ++chunk) {
            const std::size_t at = chunk * 2048 + 2047;
            processed.push_back(out.samples[at] == in.samples[at] * 0.5f && in.samples[at] != 0.0f);
        }
        EXPECT_EQ(processed, c.processed);
    }
}

// The two settings for plug-ins that stop, on until the user turns them off.
TEST_F(ProcessChoiceTool, TheSettingsForPluginsThatStopAreShownAndSet) {
    struct {
        const wchar_t* alias;
        std::string name;
    } settings[] = {
        {L"restart", "Restart plug-ins that stop in their own process"},
        {L"isolate-after-crash", "Move a plug-in that crashed into its own process"},
    };
    for (const auto& c : settings) {
        SCOPED_TRACE(c.name);
        const std::string hint = "   (orvane set " + wide_to_utf8(c.alias) + " on|off)\n";
        EXPECT_NE(says({L"info"}).find("\n  " + c.name + ": on" + hint), std::string::npos);
        EXPECT_EQ(says({L"set", c.alias, L"off"}), c.name + ": off\n");
        EXPECT_NE(says({L"info"}).find("\n  " + c.name + ": off" + hint), std::string::npos);
        EXPECT_EQ(says({L"set", c.alias, L"on"}), c.name + ": on\n");
        EXPECT_NE(says({L"info"}).find("\n  " + c.name + ": on" + hint), std::string::npos);
    }
}

class CrashMoveTool : public ProcessChoiceTool {
protected:
    void SetUp() override {
        write_wav(files.file(L"in.wav"), in);
        says({L"add", plugin_dll("fault_process")});  // halves audio until its third block divides by zero
        says({L"chain", L"add", L"Faulty"});
    }
    tool_run job() {
        return orvane({L"--chunk", L"1024", L"process", files.file(L"in.wav"), files.file(L"out.wav")});
    }
    // Halved until the plug-in went, untouched from its chunk on.
    void expect_switched_off_at_the_third_chunk() {
        const wav_data out = read_wav(files.file(L"out.wav"));
        ASSERT_EQ(out.samples.size(), in.samples.size());
        EXPECT_EQ(out.samples[0], in.samples[0] * 0.5f);
        EXPECT_EQ(out.samples[2 * 2048 - 1], in.samples[2 * 2048 - 1] * 0.5f);
        EXPECT_EQ(out.samples[2 * 2048], in.samples[2 * 2048]);
        EXPECT_EQ(out.samples.back(), in.samples.back());
    }

    const wav_data in{2, 44100, 3, 32, test_signal(8192, 2)};
    const std::string switched_off =
        "The VST plug-in \"Faulty\" crashed in processReplacing (division by zero) and has been switched off. Its "
        "audio passes through unchanged from now on.";
    const std::string moved = " From its next load it runs in a process of its own.";
};

TEST_F(CrashMoveTool, APluginThatCrashedInThePlayersProcessRunsInItsOwnFromTheNextJob) {
    EXPECT_EQ(processes(), std::vector<std::string>{"player"});
    tool_run r = job();
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.err.find(switched_off + moved), std::string::npos) << r.err;
    expect_switched_off_at_the_third_chunk();
    EXPECT_EQ(processes(), std::vector<std::string>{"own (after a crash)"});

    // The choice belongs to the plug-in's identity. A DLL of the same
    // identity that ends its whole process at that block instead would take
    // the tool down with it in the player's process.
    write_list_file(profile.file(L"vst_entries.bin"), {{wide_to_utf8(plugin_dll("fault_exit")), "Faulty",
                                                        identifier_text(0x4F466C74), "Orvane Labs", "2/2", true}});
    EXPECT_EQ(processes(), std::vector<std::string>{"own (after a crash)"});
    // Not restarted there, so that its end is the same chunk as before.
    says({L"set", L"restart", L"off"});
    const auto before = folder_contents(profile.path());
    r = job();
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.err.find("The VST plug-in \"Faulty\" crashed in processReplacing (its process ended) and has been "
                         "switched off. Its audio passes through unchanged from now on."),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find(moved), std::string::npos) << r.err;
    expect_switched_off_at_the_third_chunk();
    EXPECT_EQ(folder_contents(profile.path()), before);  // nothing new to keep

    // A choice by hand is the user's, like any other.
    EXPECT_EQ(says({L"isolate", L"Faulty", L"on"}), "Faulty runs in a process of its own from its next load.\n");
    EXPECT_EQ(processes(), std::vector<std::string>{"own"});
    EXPECT_EQ(says({L"isolate", L"Faulty", L"off"}), "Faulty runs in the player's process from its next load.\n");
    EXPECT_EQ(processes(), std::vector<std::string>{"player"});
}

TEST_F(CrashMoveTool, WithTheSettingOffACrashedPluginStaysInThePlayersProcess) {
    says({L"set", L"isolate-after-crash", L"off"});
    const auto before = folder_contents(profile.path());
    tool_run r = job();
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.err.find(switched_off), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(moved), std::string::npos) << r.err;
    expect_switched_off_at_the_third_chunk();
    EXPECT_EQ(processes(), std::vector<std::string>{"player"});
    EXPECT_EQ(folder_contents(profile.path()), before);
}

}  // namespace

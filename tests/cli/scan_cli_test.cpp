// `orvane scan`: the table of every file of a folder, the summary line and
// the exit status, effects added up to the list's limit, a second scan that
// takes what the first remembered from the profile, one clear line for bad
// input, and no bridge process left when the player is killed mid-scan.
#include <gtest/gtest.h>

#include <algorithm>

#include "../../Helpers/utf.h"
#include "../support/list_writer.h"
#include "../support/scan_folder.h"
#include "../support/tool_fixture.h"
#include "../support/window_probe.h"

namespace {

std::string without_cr(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

const char* const k_own_arch = sizeof(void*) == 8 ? "x64" : "x86";

// A row of the table, as the tool pads it for a file column of `width`.
std::string row(int number, const std::string& file, int width, const std::string& arch, const std::string& result,
                const std::string& rest) {
    char line[512];
    std::snprintf(line, sizeof line, "%3d  %-*s  %-5s  %-11s  %s\n", number, width, file.c_str(), arch.c_str(),
                  result.c_str(), rest.c_str());
    return line;
}

std::string effect(const char* product, const char* process = "player") {
    char text[128];
    std::snprintf(text, sizeof text, "%-24s %-18s %-6s %s", product, "Orvane Labs", "2/2", process);
    return text;
}

class ScanTool : public ToolFixture {
protected:
    void SetUp() override {
        CreateDirectoryW(files.file(L"fx").c_str(), nullptr);
        CreateDirectoryW(files.file(L"fx\\sub").c_str(), nullptr);
    }
    void copy(const char* plugin, const std::wstring& name) {
        ASSERT_TRUE(copy_file_to(plugin_dll(plugin), files.file(L"fx\\" + name))) << plugin;
    }
    std::wstring folder() { return files.file(L"fx"); }
    std::string folder_utf8() { return wide_to_utf8(folder()); }
    std::string says(std::vector<std::wstring> a) {
        tool_run r = orvane(std::move(a));
        EXPECT_EQ(r.exit_code, 0) << r.err;
        EXPECT_EQ(r.err, "");
        return without_cr(r.out);
    }
};

TEST_F(ScanTool, EveryFileTheEffectsAddedAndASecondScanFromMemory) {
    copy("gain", L"gain.dll");
    copy("fault_entry", L"crash.dll");
    copy("synth", L"synth.dll");
    write_file_bytes(files.file(L"fx\\empty.dll"), {});
    copy("gain", L"sub\\again.dll");
    copy("recorder", L"sub\\recorder.dll");
    EXPECT_EQ(says({L"scan", folder()}),
              "  #  File       Arch   Result       Product                  Vendor             I/O    Process\n" +
                  row(1, "crash.dll", 9, k_own_arch, "crashed",
                      "The VST plug-in crashed in its entry function (access violation).") +
                  row(2, "empty.dll", 9, "-", "not a DLL", "An empty file.") +
                  row(3, "gain.dll", 9, k_own_arch, "effect", effect("Orvane Gain")) +
                  row(4, "synth.dll", 9, k_own_arch, "instrument",
                      "The VST plug-in reports its category as synth or offline DSP.") +
                  "4 DLLs in " + folder_utf8() + ": 1 effect, 1 instrument, 1 crashed, 1 not a DLL.\n");
    EXPECT_EQ(says({L"plugins"}), "No plug-ins listed. Add one with: orvane add PLUGIN.dll\n");

    const std::string added = says({L"scan", L"--recursive", folder(), L"--add"});
    EXPECT_NE(added.find(row(3, "gain.dll", 16, k_own_arch, "added*", effect("Orvane Gain"))), std::string::npos)
        << added;
    EXPECT_NE(added.find(row(5, "sub\\again.dll", 16, k_own_arch, "duplicate", "The same plug-in as gain.dll.")),
              std::string::npos)
        << added;
    EXPECT_NE(added.find(row(6, "sub\\recorder.dll", 16, k_own_arch, "added", effect("Recorder"))), std::string::npos)
        << added;
    EXPECT_NE(added.find("6 DLLs in " + folder_utf8() +
                         " and its subfolders: 2 effects (2 added), 1 duplicate, 1 instrument, 1 crashed, 1 not a "
                         "DLL; 4 remembered from an earlier scan.\nThe player offers the added plug-ins after its "
                         "next start.\n"),
              std::string::npos)
        << added;
    const std::string gain = wide_to_utf8(files.file(L"fx\\gain.dll"));
    const std::string recorder = wide_to_utf8(files.file(L"fx\\sub\\recorder.dll"));
    EXPECT_EQ(says({L"plugins"}),
              "  #  Product                  Vendor             I/O    Process    Module\n"
              "  1  Orvane Gain              Orvane Labs        2/2    player     " + gain + "\n" +
              "  2  Recorder                 Orvane Labs        2/2    player     " + recorder + "\n");

    // The profile keeps what was found: nothing is loaded again.
    const std::string again = says({L"scan", folder(), L"--recursive"});
    EXPECT_NE(again.find(row(3, "gain.dll", 16, k_own_arch, "listed*", effect("Orvane Gain"))), std::string::npos)
        << again;
    EXPECT_NE(again.find("* remembered from an earlier scan: unchanged since, so not loaded again (--rescan loads "
                         "it)\n6 DLLs in " + folder_utf8() +
                         " and its subfolders: 3 already listed, 1 instrument, 1 crashed, 1 not a DLL; 6 remembered "
                         "from an earlier scan.\n"),
              std::string::npos)
        << again;
    const std::string full = says({L"scan", folder(), L"--recursive", L"--rescan", L"--jobs", L"1"});
    EXPECT_EQ(full.find('*'), std::string::npos) << full;
    EXPECT_NE(full.find("3 already listed"), std::string::npos) << full;
}

// Effects are added while the list offers DSP slots; the others are named.
TEST_F(ScanTool, AFullListTakesNoMore) {
    std::vector<list_record> listed;
    for (int i = 0; i < 19; ++i)
        listed.push_back({"C:\\nowhere\\" + std::to_string(i) + ".dll", "P" + std::to_string(i),
                          identifier_text(static_cast<unsigned>(100 + i))});
    write_list_file(profile.file(L"vst_entries.bin"), listed);
    copy("gain", L"a.dll");
    copy("recorder", L"b.dll");
    const std::string out = says({L"scan", folder(), L"--add"});
    EXPECT_NE(out.find(row(1, "a.dll", 5, k_own_arch, "added", effect("Orvane Gain"))), std::string::npos) << out;
    EXPECT_NE(out.find(row(2, "b.dll", 5, k_own_arch, "not added", effect("Recorder"))), std::string::npos) << out;
    EXPECT_NE(out.find("2 DLLs in " + folder_utf8() + ": 2 effects (1 added, 1 not added: the list is full).\n"),
              std::string::npos)
        << out;
    const std::string plugins = says({L"plugins"});
    EXPECT_NE(plugins.find(" 20  Orvane Gain"), std::string::npos) << plugins;
    EXPECT_EQ(plugins.find("Recorder"), std::string::npos) << plugins;
}

TEST_F(ScanTool, AnEmptyFolderIsAScanToo) {
    EXPECT_EQ(says({L"scan", folder()}), "0 DLLs in " + folder_utf8() + ": none.\n");
}

TEST_F(ScanTool, BadInputIsOneLineAndChangesNothing) {
    ok({L"plugins"});
    const auto before = folder_contents(profile.path());
    const std::string missing = wide_to_utf8(files.file(L"missing"));
    write_file_bytes(files.file(L"x.dll"), {'x'});
    struct {
        std::vector<std::wstring> arguments;
        int exit_code;
        std::string error;
    } cases[] = {
        {{L"scan", files.file(L"missing")}, 1, "The folder " + missing + " does not exist."},
        {{L"scan", files.file(L"x.dll")}, 1, wide_to_utf8(files.file(L"x.dll")) + " is a file, not a folder."},
        {{L"scan"}, 2, "usage: orvane scan FOLDER [--recursive] [--jobs N] [--add] [--rescan]"},
        {{L"scan", folder(), L"--jobs", L"0"}, 2, "--jobs takes a number from 1 to 64, not \"0\""},
        {{L"scan", folder(), L"--jobs", L"65"}, 2, "--jobs takes a number from 1 to 64, not \"65\""},
        {{L"scan", folder(), L"--jobs", L"two"}, 2, "--jobs takes a number from 1 to 64, not \"two\""},
        {{L"plugins", L"--add"}, 2, "--recursive, --jobs, --add and --rescan go with scan only"},
    };
    for (const auto& c : cases) {
        tool_run r = orvane(c.arguments);
        EXPECT_EQ(r.exit_code, c.exit_code) << c.error;
        EXPECT_EQ(without_cr(r.err), "orvane: error: " + c.error + "\n");
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(folder_contents(profile.path()), before) << c.error;
    }
}

// Ctrl+C while a DLL hangs being checked: no further DLL is loaded, what
// was found is reported and added, and the run ends as interrupted.
TEST_F(ScanTool, CtrlCStopsTheScanAndKeepsWhatItFound) {
    copy("gain", L"a_gain.dll");
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    const unsigned jobs = system.dwNumberOfProcessors < 2 ? 2 : system.dwNumberOfProcessors;
    for (unsigned i = 0; i < jobs; ++i) copy("fault_loop_open", L"b_loops" + std::to_wstring(i) + L".dll");
    copy("recorder", L"c_recorder.dll");
    run_place own_console;
    own_console.own_console = true;
    tool_run r = run_orvane_driven(
        {L"--profile", profile.path(), L"--quiet", L"scan", folder(), L"--add"},
        [&](unsigned long id) {
            // Once every hanging DLL is loaded in a bridge, the gain before
            // them was checked.
            ASSERT_TRUE(wait_until(
                [&] {
                    const std::vector<std::wstring> loaded = bridged_modules(id);
                    for (unsigned i = 0; i < jobs; ++i)
                        if (std::find(loaded.begin(), loaded.end(), L"b_loops" + std::to_wstring(i) + L".dll") ==
                            loaded.end())
                            return false;
                    return true;
                },
                30000));
            // Ctrl+C on the tool's console, as a user presses it there.
            FreeConsole();
            ASSERT_TRUE(AttachConsole(id));
            SetConsoleCtrlHandler(nullptr, TRUE);
            GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
            FreeConsole();
        },
        own_console);
    SetConsoleCtrlHandler(nullptr, FALSE);
    EXPECT_EQ(r.exit_code, 130) << r.err;
    EXPECT_EQ(without_cr(r.err), "orvane: error: the scan was cancelled: " + std::to_string(jobs + 1) + " of " +
                                     std::to_string(jobs + 2) + " DLLs were checked\n")
        << r.out;
    const std::string out = without_cr(r.out);
    EXPECT_NE(out.find("added"), std::string::npos) << out;
    EXPECT_NE(out.find("not checked  Not checked: the scan was cancelled.\n"), std::string::npos) << out;
    EXPECT_NE(says({L"plugins"}).find("Orvane Gain"), std::string::npos);
}

// The player killed while a plug-in hangs being checked: its bridge ends
// with it.
TEST_F(ScanTool, NoBridgeOutlivesAKilledPlayer) {
    copy("fault_loop_open", L"loops.dll");
    std::vector<DWORD> bridges;
    run_orvane_driven({L"--profile", profile.path(), L"--quiet", L"scan", folder()}, [&](unsigned long id) {
        ASSERT_TRUE(wait_until([&] { return !(bridges = running_bridges(id)).empty(); }, 30000));
        HANDLE player = OpenProcess(PROCESS_TERMINATE, FALSE, id);
        ASSERT_TRUE(player);
        TerminateProcess(player, 9);
        CloseHandle(player);
    });
    ASSERT_FALSE(bridges.empty());
    EXPECT_TRUE(wait_until(
        [&] {
            for (DWORD b : bridges) {
                HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, b);
                const bool running = h && WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
                if (h) CloseHandle(h);
                if (running) return false;
            }
            return true;
        },
        10000));
}

}  // namespace

// A folder scanned for plug-ins, with the component's code linked in: a
// folder of our test plug-ins of both architectures and of files that are
// none, each file's exact result in folder order, a second scan that loads
// nothing it remembers, hangs and a cancel that cost only their own files,
// and no bridge process left behind.
#include <gtest/gtest.h>

#include <map>
#include <optional>

#include "../../Helpers/utf.h"
#include "../../prefs/scan_memory.h"
#include "../../shell/identifier_text.h"
#include "../../vst/folder_scan.h"
#include "../../vst/pe_machine.h"
#include "../../vst/vst.h"
#include "../support/linked_host.h"
#include "../support/plugin_hooks.h"
#include "../support/scan_folder.h"
#include "../support/test_deadlines.h"
#include "../support/test_paths.h"
#include "../support/window_probe.h"

namespace {

// What a test expects of one file: its kind, and its product name for an
// effect or its detail for anything else.
struct expected_file {
    std::string shown;
    scan_kind kind;
    std::string words;
};

std::string words_of(const scan_file_result& r) {
    return r.kind == scan_kind::effect ? r.plugin.product_name : r.detail;
}

std::vector<expected_file> seen(const folder_scan& scan) {
    std::vector<expected_file> out;
    for (const scan_file_result& r : scan.results()) out.push_back({r.shown, r.kind, words_of(r)});
    return out;
}

void PrintTo(const expected_file& f, std::ostream* os) {
    *os << "{" << f.shown << ", " << static_cast<int>(f.kind) << ", \"" << f.words << "\"}";
}
bool operator==(const expected_file& a, const expected_file& b) {
    return a.shown == b.shown && a.kind == b.kind && a.words == b.words;
}

// The first line of a diagnosis, as a scan shows it.
std::string first_line(const std::string& diagnosis) { return diagnosis.substr(0, diagnosis.find("\r\n")); }

class FolderScan : public ::testing::Test {
protected:
    FolderScan() { remembered_scan_files().clear(); }
    ~FolderScan() override { remembered_scan_files().clear(); }

    void copy(const std::wstring& dll, const std::wstring& name) {
        ASSERT_TRUE(copy_file_to(dll, folder.file(name))) << wide_to_utf8(name);
    }
    std::unique_ptr<folder_scan> scan(bool recursive = true, bool rescan = false, unsigned jobs = 0) {
        scan_request r;
        r.folder = folder.path();
        r.recursive = recursive;
        r.rescan = rescan;
        r.jobs = jobs;
        r.listed = listed;
        auto s = std::make_unique<folder_scan>(std::move(r));
        EXPECT_TRUE(s->wait(120000));
        return s;
    }

    linked_host host;
    temp_folder folder;
    std::vector<scan_listed_plugin> listed;
};

// The folder of the issue: effects of both architectures, an instrument, a
// DLL that crashes in its entry and one that ends its process there, files
// that are no DLLs, a duplicate and a link back to the folder itself.
TEST_F(FolderScan, EveryFileGetsItsResultInFolderOrder) {
    copy(plugin_dll("gain"), L"gain.dll");
    copy(other_architecture_plugin_dll("recorder"), L"Other.DLL");
    copy(plugin_dll("synth"), L"instrument.dll");
    copy(plugin_dll("fault_entry"), L"crash_entry.dll");
    copy(plugin_dll("fault_exit_entry"), L"exit_entry.dll");
    copy(plugin_dll("no_entry"), L"helper.dll");
    write_file_bytes(folder.file(L"empty.dll"), {});
    write_file_bytes(folder.file(L"notes.dll"), {'n', 'o', 't', 'e', 's'});
    write_file_bytes(folder.file(L"readme.txt"), {'x'});
    CreateDirectoryW(folder.file(L"sub").c_str(), nullptr);
    copy(plugin_dll("gain"), L"sub\\again.dll");
    folder_link loop(folder.file(L"sub\\loop"), folder.path());
    ASSERT_TRUE(loop.made());

    // The other architecture's plug-in is what a single check makes of it:
    // an effect where its bridge runs, refused where none can.
    std::optional<expected_file> other;
    {
        vst single(entry(wide_to_utf8(folder.file(L"Other.DLL"))), true, plugin_place::own_process);
        other = single.loaded ? expected_file{"Other.DLL", scan_kind::effect, "Recorder"}
                              : expected_file{"Other.DLL", scan_kind::not_plugin, first_line(single.diagnosis)};
    }
    const auto s = scan();
    ASSERT_EQ(s->problem(), "");
    EXPECT_FALSE(s->cancelled());
    EXPECT_EQ(seen(*s),
              (std::vector<expected_file>{
                  {"crash_entry.dll", scan_kind::crashed,
                   "The VST plug-in crashed in its entry function (access violation)."},
                  {"empty.dll", scan_kind::not_dll, "An empty file."},
                  {"exit_entry.dll", scan_kind::crashed,
                   "The VST plug-in crashed in its entry function (its process ended)."},
                  {"gain.dll", scan_kind::effect, "Orvane Gain"},
                  {"helper.dll", scan_kind::not_plugin, "The file doesn't appear to be VST DLL (no entry procedure)."},
                  {"instrument.dll", scan_kind::instrument,
                   "The VST plug-in reports its category as synth or offline DSP."},
                  {"notes.dll", scan_kind::not_dll, "No Windows DLL: the file has no PE header."},
                  *other,
                  {"sub\\again.dll", scan_kind::duplicate, "The same plug-in as gain.dll."},
              }));
    EXPECT_EQ(s->notes(), std::vector<std::string>{"The subfolder sub\\loop was skipped: it leads back to a folder "
                                                   "already scanned (a link or junction)."});
    EXPECT_EQ(s->folders(), 2u);

    const scan_file_result& gain = s->results()[3];
    EXPECT_EQ(gain.machine, own_machine());
    EXPECT_EQ(gain.plugin.module_path, wide_to_utf8(folder.file(L"gain.dll")));
    EXPECT_EQ(gain.plugin.vendor_name, "Orvane Labs");
    EXPECT_EQ(gain.plugin.channel_summary, "2/2");
    EXPECT_EQ(gain.plugin.spare_text, "n/a");
    EXPECT_EQ(s->results()[8].first, 3u);
    EXPECT_EQ(s->results()[7].machine, own_machine() == k_machine_x64 ? k_machine_x86 : k_machine_x64);
    EXPECT_EQ(running_bridges(GetCurrentProcessId()), std::vector<DWORD>{});
}

TEST_F(FolderScan, PluginsTheListHoldsAreReportedAsListed) {
    copy(plugin_dll("gain"), L"a.dll");
    copy(plugin_dll("gain"), L"b.dll");
    copy(plugin_dll("recorder"), L"c.dll");
    listed.push_back({identifier_from_unique_id(0x4F47616E), "Orvane Gain", "C:\\fx\\gain.dll"});
    const auto s = scan(false);
    EXPECT_EQ(seen(*s), (std::vector<expected_file>{
                            {"a.dll", scan_kind::already_listed, "Already in the list as Orvane Gain (C:\\fx\\gain.dll)."},
                            {"b.dll", scan_kind::already_listed, "Already in the list as Orvane Gain (C:\\fx\\gain.dll)."},
                            {"c.dll", scan_kind::effect, "Recorder"},
                        }));
}

// The second scan loads nothing it remembers; a file that changed is loaded
// again, and a full rescan loads them all.
TEST_F(FolderScan, ASecondScanSkipsWhatItRemembers) {
    copy(plugin_dll("gain"), L"gain.dll");
    copy(plugin_dll("fault_entry"), L"crash.dll");
    copy(plugin_dll("synth"), L"synth.dll");
    write_file_bytes(folder.file(L"notes.dll"), {'n'});
    const auto first = scan(false);
    const std::vector<expected_file> results = seen(*first);
    for (const scan_file_result& r : first->results()) EXPECT_FALSE(r.remembered) << r.shown;
    EXPECT_EQ(remembered_scan_files().size(), 4u);

    plugin_hooks gain(folder.file(L"gain.dll"), "gain");
    gain.clear();
    const auto second = scan(false);
    EXPECT_EQ(seen(*second), results);
    for (const scan_file_result& r : second->results()) EXPECT_TRUE(r.remembered) << r.shown;
    EXPECT_EQ(gain.calls(effOpen), 0);
    EXPECT_EQ(second->results()[1].plugin.identifier, first->results()[1].plugin.identifier);
    EXPECT_EQ(second->results()[1].plugin.module_path, wide_to_utf8(folder.file(L"gain.dll")));

    // notes.dll becomes a plug-in: a new size, so it is loaded again.
    copy(plugin_dll("recorder"), L"notes.dll");
    const auto third = scan(false);
    std::vector<bool> remembered;
    for (const scan_file_result& r : third->results()) remembered.push_back(r.remembered);
    EXPECT_EQ(remembered, (std::vector<bool>{true, true, false, true}));
    EXPECT_EQ(third->results()[2].kind, scan_kind::effect);
    EXPECT_EQ(third->results()[2].plugin.product_name, "Recorder");

    const auto full = scan(false, true);
    for (const scan_file_result& r : full->results()) EXPECT_FALSE(r.remembered) << r.shown;
    EXPECT_EQ(gain.calls(effOpen), 1);

    // A file gone from a folder read whole is forgotten with it.
    DeleteFileW(folder.file(L"crash.dll").c_str());
    scan(false);
    EXPECT_EQ(remembered_scan_files().size(), 3u);
}

// A DLL that never returns from effOpen, and one whose loader never returns,
// each cost their own file the open deadline; the others are found as ever.
TEST_F(FolderScan, HangsCostTheirOwnFileOnly) {
    struct short_open_deadline {
        short_open_deadline() {
            bridge_deadlines d = generous_test_deadlines();
            d.open_ms = 5000;
            set_bridge_deadlines(d);
        }
        ~short_open_deadline() { set_bridge_deadlines(generous_test_deadlines()); }
    } deadline;
    copy(plugin_dll("fault_loop_open"), L"a_loops.dll");
    copy(plugin_dll("fault_loop_attach"), L"b_waits.dll");
    copy(plugin_dll("gain"), L"c_gain.dll");
    scan_request r;
    r.folder = folder.path();
    r.jobs = 3;
    const auto s = std::make_unique<folder_scan>(std::move(r));
    // While they hang, their bridges are there to see.
    EXPECT_TRUE(wait_until([] { return !running_bridges(GetCurrentProcessId()).empty(); }, 10000));
    ASSERT_TRUE(s->wait(60000));
    EXPECT_EQ(seen(*s), (std::vector<expected_file>{
                            {"a_loops.dll", scan_kind::hung,
                             "The VST plug-in stopped answering in effOpen (its process was ended)."},
                            {"b_waits.dll", scan_kind::hung,
                             "The VST DLL did not finish loading in 5 s (its process was ended)."},
                            {"c_gain.dll", scan_kind::effect, "Orvane Gain"},
                        }));
    EXPECT_EQ(running_bridges(GetCurrentProcessId()), std::vector<DWORD>{});
}

TEST_F(FolderScan, ACancelledScanChecksNoFurtherFile) {
    for (int i = 0; i < 12; ++i) copy(plugin_dll("gain"), L"gain" + std::to_wstring(10 + i) + L".dll");
    scan_request r;
    r.folder = folder.path();
    r.jobs = 2;
    folder_scan s(std::move(r));
    ASSERT_TRUE(wait_until([&] { return s.progress().done >= 1; }, 60000));
    s.cancel();
    ASSERT_TRUE(s.wait(60000));
    EXPECT_TRUE(s.cancelled());
    EXPECT_EQ(s.progress().now, scan_progress::stage::cancelled);
    std::size_t checked = 0, not_checked = 0;
    for (const scan_file_result& r : s.results()) {
        if (r.kind == scan_kind::not_checked) {
            ++not_checked;
            EXPECT_EQ(r.detail, "Not checked: the scan was cancelled.");
        } else {
            ++checked;
        }
    }
    EXPECT_EQ(checked + not_checked, 12u);
    EXPECT_GE(checked, 1u);
    EXPECT_GE(not_checked, 1u);
    EXPECT_EQ(s.progress().done, checked);
    EXPECT_EQ(running_bridges(GetCurrentProcessId()), std::vector<DWORD>{});
}

TEST_F(FolderScan, AFolderThatCannotBeScannedSaysWhy) {
    const std::wstring file = folder.file(L"x.dll");
    write_file_bytes(file, {1});
    struct {
        std::wstring folder;
        std::string problem;
    } cases[] = {
        {folder.file(L"missing"), "The folder " + wide_to_utf8(folder.file(L"missing")) + " does not exist."},
        {file, wide_to_utf8(file) + " is a file, not a folder."},
    };
    for (const auto& c : cases) {
        scan_request r;
        r.folder = c.folder;
        folder_scan s(std::move(r));
        ASSERT_TRUE(s.wait(10000));
        EXPECT_EQ(s.problem(), c.problem);
        EXPECT_TRUE(s.results().empty());
    }
}

}  // namespace

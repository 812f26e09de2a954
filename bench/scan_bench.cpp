// A folder of 100 DLLs scanned for plug-ins: copies of our test plug-ins, a
// quarter of them crashing, hanging (within a short open deadline) or no
// plug-ins at all. Two checks at a time against one, and a rescan of the
// unchanged folder against the first scan.
#include <string>

#include "../Helpers/folders.h"
#include "../vst/hang_limits.h"
#include "../prefs/scan_memory.h"
#include "../vst/folder_scan.h"
#include "../vst/isolation.h"
#include "bench_host.h"
#include "bench_table.h"
#include "benches.h"

namespace {

constexpr int k_files = 100;
constexpr std::uint32_t k_open_limit_ms = 2000;
constexpr double k_two_jobs_target = 0.6;
constexpr double k_rescan_target = 0.1;

const char* const k_effects[] = {"gain", "recorder", "six_out", "chunky", "verbose", "painter"};
// In turn: a crash in the entry, a hang in effOpen, no entry function, a
// crash in effOpen, and a file that is no DLL (null).
const char* const k_failing[] = {"fault_entry", "fault_loop_open", "no_entry", "fault_open", nullptr};

void put(const std::wstring& name, const char* plugin) {
    if (plugin) {
        const std::string file = std::string(plugin) + ".dll";
        CopyFileW((program_folder() + L"plugins\\" + std::wstring(file.begin(), file.end())).c_str(), name.c_str(),
                  FALSE);
        return;
    }
    HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(h, "text", 4, &written, nullptr);
    CloseHandle(h);
}

// Every fourth file fails, one way or another.
std::wstring make_folder() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"orvane-bench-scan-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    for (int i = 0; i < k_files; ++i) {
        const std::wstring name = folder + L"\\" + std::to_wstring(1000 + i) + L".dll";
        put(name, i % 4 == 3 ? k_failing[(i / 4) % 5] : k_effects[i % 6]);
    }
    return folder;
}

double timed_scan(const std::wstring& folder, unsigned jobs, bool rescan, std::size_t& found) {
    scan_request r;
    r.folder = folder;
    r.jobs = jobs;
    r.rescan = rescan;
    const double start = now_seconds();
    folder_scan scan(std::move(r));
    scan.wait(INFINITE);
    const double took = now_seconds() - start;
    found = scan.results().size();
    return took;
}

}  // namespace

int bench_scan(int repetitions) {
    bench_host host;
    bridge_deadlines deadlines;
    deadlines.open_ms = k_open_limit_ms;
    set_bridge_deadlines(deadlines);
    const std::wstring folder = make_folder();
    timings one_job, two_jobs, rescan;
    std::size_t found = 0;
    bool whole = true;
    for (int i = 0; i < repetitions; ++i) {
        remembered_scan_files().clear();
        one_job.add(timed_scan(folder, 1, true, found));
        whole = whole && found == k_files;
        remembered_scan_files().clear();
        two_jobs.add(timed_scan(folder, 2, false, found));
        rescan.add(timed_scan(folder, 2, false, found));
        whole = whole && found == k_files;
    }
    remove_folder_tree(folder);
    if (!whole) {
        std::printf("| Folder scan | 100 DLLs | - | not every DLL was found | - | - | MISSED |\n");
        return 1;
    }
    print_ratio_row("Folder scan", "100 DLLs, a quarter crashing, hanging (2 s limit) or none: 2 jobs against 1",
                    one_job, two_jobs, k_two_jobs_target);
    print_ratio_row("Folder scan", "rescan of the unchanged folder against the first scan", two_jobs, rescan,
                    k_rescan_target);
    return 0;
}

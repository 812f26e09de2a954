#pragma once
// A scan of a folder for plug-ins: every DLL in it (and in its subfolders
// when asked) gets a result, in folder order. Each DLL is checked as
// "&Add..." checks a plug-in, in a bridge process of its own, several at a
// time, so that a DLL that crashes, hangs or ends its process costs only
// its own result. Files an earlier scan found out about and that did not
// change are taken from what it remembered (scan_memory.h) unless a full
// rescan is asked for.
//
// The scan runs on threads of its own from construction on; any thread may
// ask its progress or cancel it. Its results are read once it is over.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../Helpers/win32_handles.h"
#include "folder_walk.h"
#include "scan_result.h"

// A plug-in of the list the results are measured against.
struct scan_listed_plugin {
    GUID identifier{};
    std::string product_name;
    std::string module_path;
};

struct scan_request {
    std::wstring folder;  // full path
    bool recursive = false;
    bool rescan = false;  // load every DLL, remembered or not
    unsigned jobs = 0;    // DLLs checked at a time; 0: default_scan_jobs()
    std::vector<scan_listed_plugin> listed;
    walk_limits limits;
};

// As many as the machine has processors, at least 2.
unsigned default_scan_jobs();
inline constexpr unsigned k_max_scan_jobs = 64;

struct scan_progress {
    enum class stage { looking, checking, finished, cancelled };
    stage now = stage::looking;
    std::size_t found = 0;       // DLLs found so far
    std::size_t done = 0;        // of them, with a result
    std::size_t remembered = 0;  // of those, taken from an earlier scan
    std::vector<std::string> loading;  // the files being checked now, as shown
};

class folder_scan {
public:
    explicit folder_scan(scan_request request);
    // Cancels the scan and waits for it: at most until the checks that run
    // end, each within the open deadline of a bridge.
    ~folder_scan();
    folder_scan(const folder_scan&) = delete;
    folder_scan& operator=(const folder_scan&) = delete;

    // No further DLL is checked; those being checked finish.
    void cancel() { stop_ = true; }
    // True once the scan is over, waiting up to `ms` for it.
    bool wait(std::uint32_t ms) const;
    scan_progress progress() const;

    // Once it is over.
    // Why the folder could not be scanned at all; empty when it was.
    const std::string& problem() const { return problem_; }
    bool cancelled() const { return cancelled_; }
    std::vector<scan_file_result>& results() { return results_; }
    const std::vector<scan_file_result>& results() const { return results_; }
    const std::vector<std::string>& notes() const { return notes_; }
    std::size_t folders() const { return folders_; }

private:
    void run();
    void work();
    void settle(std::size_t i, scan_file_result& r);
    void finish_results();
    void remember_results(bool walk_complete);

    const scan_request request_;
    std::atomic<bool> stop_{false};
    unique_handle over_;
    std::thread runner_;

    std::atomic<std::size_t> found_{0};
    std::atomic<std::size_t> done_{0};
    std::atomic<std::size_t> remembered_{0};
    std::atomic<std::size_t> next_{0};
    std::atomic<int> stage_{0};
    mutable std::mutex loading_lock_;
    std::vector<std::size_t> loading_;  // results being checked now

    std::string problem_;
    bool cancelled_ = false;
    std::vector<scan_file_result> results_;
    std::vector<std::string> notes_;
    std::size_t folders_ = 0;
};

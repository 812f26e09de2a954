#include "folder_scan.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <system_error>

#include "../Helpers/utf.h"
#include "../prefs/scan_memory.h"
#include "scan_check.h"

namespace {

using identifier_bytes = std::array<unsigned char, 16>;

identifier_bytes bytes_of(const GUID& g) {
    identifier_bytes b;
    std::memcpy(b.data(), &g, b.size());
    return b;
}

// Whether `path` lies where the scan looked: in the folder, or below it
// when the scan went into subfolders.
bool in_scope(const std::wstring& path_key, const std::wstring& folder_key, bool recursive) {
    std::wstring prefix = folder_key;
    if (prefix.empty() || prefix.back() != L'\\') prefix += L'\\';
    if (path_key.size() <= prefix.size() || path_key.compare(0, prefix.size(), prefix) != 0) return false;
    return recursive || path_key.find(L'\\', prefix.size()) == std::wstring::npos;
}

}  // namespace

unsigned default_scan_jobs() {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    const unsigned n = info.dwNumberOfProcessors;
    return n < 2 ? 2 : n > k_max_scan_jobs ? k_max_scan_jobs : n;
}

folder_scan::folder_scan(scan_request request)
    : request_(std::move(request)), over_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    problem_ = scan_folder_problem(request_.folder);
    if (!problem_.empty()) {
        stage_ = static_cast<int>(scan_progress::stage::finished);
        SetEvent(over_.get());
        return;
    }
    runner_ = std::thread([this] {
        try {
            run();
        } catch (const std::exception& e) {
            // Out of memory or threads: the scan ends with what it says.
            problem_ = std::string("The scan failed: ") + e.what();
            results_.clear();
            stage_ = static_cast<int>(scan_progress::stage::finished);
            SetEvent(over_.get());
        }
    });
}

folder_scan::~folder_scan() {
    cancel();
    if (runner_.joinable()) runner_.join();
}

bool folder_scan::wait(std::uint32_t ms) const { return WaitForSingleObject(over_.get(), ms) == WAIT_OBJECT_0; }

scan_progress folder_scan::progress() const {
    scan_progress p;
    p.now = static_cast<scan_progress::stage>(stage_.load());
    p.found = found_.load();
    p.done = done_.load();
    p.remembered = remembered_.load();
    std::lock_guard<std::mutex> guard(loading_lock_);
    for (std::size_t i : loading_) p.loading.push_back(results_[i].shown);
    return p;
}

// The scan's own thread.
void folder_scan::run() {
    folder_walk walk = walk_folder(request_.folder, request_.recursive, stop_, request_.limits, &found_);
    folders_ = walk.folders;
    notes_ = std::move(walk.notes);
    const std::wstring root = request_.folder;
    {
        std::lock_guard<std::mutex> guard(loading_lock_);
        results_.resize(walk.files.size());
        for (std::size_t i = 0; i < walk.files.size(); ++i) {
            scan_file_result& r = results_[i];
            r.file = std::move(walk.files[i]);
            const std::size_t prefix = root.back() == L'\\' ? root.size() : root.size() + 1;
            r.shown = wide_to_utf8(r.file.path.substr(prefix));
            r.detail = "Not checked: the scan was cancelled.";
        }
    }
    found_ = results_.size();
    stage_ = static_cast<int>(scan_progress::stage::checking);

    unsigned jobs = request_.jobs ? request_.jobs : default_scan_jobs();
    if (jobs > k_max_scan_jobs) jobs = k_max_scan_jobs;
    if (jobs > results_.size()) jobs = static_cast<unsigned>(results_.size());
    std::vector<std::thread> workers;
    try {
        for (unsigned i = 0; i < jobs; ++i) workers.emplace_back([this] { work(); });
    } catch (const std::system_error&) {
        // No more threads: those started do the work, or this one alone.
    }
    if (workers.empty()) work();
    for (std::thread& t : workers) t.join();

    cancelled_ = stop_;
    finish_results();
    remember_results(walk.complete && !cancelled_);
    stage_ = static_cast<int>(cancelled_ ? scan_progress::stage::cancelled : scan_progress::stage::finished);
    SetEvent(over_.get());
}

// A worker thread: takes the next file until none is left or the scan is
// cancelled.
void folder_scan::work() {
    for (;;) {
        if (stop_) return;
        const std::size_t i = next_++;
        if (i >= results_.size()) return;
        scan_file_result& r = results_[i];
        try {
            settle(i, r);
        } catch (const std::exception& e) {
            // Out of memory or handles: this file goes without a verdict.
            r.kind = scan_kind::unreadable;
            r.detail = std::string("The file could not be checked: ") + e.what();
        }
        ++done_;
    }
}

// What an earlier scan remembers of the file, else what a check finds.
void folder_scan::settle(std::size_t i, scan_file_result& r) {
    r.detail.clear();
    const auto stored = request_.rescan ? std::nullopt
                                        : remembered_scan_files().find(r.file.path, r.file.size, r.file.last_write);
    if (stored) {
        recall_scan_file(r, *stored);
        ++remembered_;
        return;
    }
    {
        std::lock_guard<std::mutex> guard(loading_lock_);
        loading_.push_back(i);
    }
    struct done_loading {
        folder_scan& scan;
        std::size_t i;
        ~done_loading() {
            std::lock_guard<std::mutex> guard(scan.loading_lock_);
            scan.loading_.erase(std::find(scan.loading_.begin(), scan.loading_.end(), i));
        }
    } loading{*this, i};
    check_scan_file(r);
}

// In folder order: an effect the list holds is reported as listed, and one
// found again as a duplicate of the first file of the same plug-in.
void folder_scan::finish_results() {
    std::map<identifier_bytes, const scan_listed_plugin*> listed;
    for (const scan_listed_plugin& p : request_.listed) listed.emplace(bytes_of(p.identifier), &p);
    std::map<identifier_bytes, std::size_t> first;
    for (std::size_t i = 0; i < results_.size(); ++i) {
        scan_file_result& r = results_[i];
        if (r.kind != scan_kind::effect) continue;
        const identifier_bytes id = bytes_of(r.plugin.identifier);
        const auto in_list = listed.find(id);
        if (in_list != listed.end()) {
            r.kind = scan_kind::already_listed;
            r.detail = "Already in the list as " + in_list->second->product_name + " (" +
                       in_list->second->module_path + ").";
            continue;
        }
        const auto earlier = first.emplace(id, i);
        if (earlier.second) continue;
        r.kind = scan_kind::duplicate;
        r.first = earlier.first->second;
        r.detail = "The same plug-in as " + results_[r.first].shown + ".";
    }
}

// Every result worth keeping becomes the newest of what is remembered; when
// the whole folder was read, what is remembered of files it no longer holds
// is dropped.
void folder_scan::remember_results(bool walk_complete) {
    std::vector<stored_scan_file> learnt;
    for (const scan_file_result& r : results_) {
        stored_scan_file s;
        if (store_scan_file(r, s)) learnt.push_back(std::move(s));
    }
    const std::wstring folder_key = scan_path_key(request_.folder);
    const bool recursive = request_.recursive;
    remembered_scan_files().update(learnt, [&](const std::wstring& path) {
        return walk_complete && in_scope(scan_path_key(path), folder_key, recursive);
    });
}

#include "scripted_scan.h"

#include <windows.h>

#include "../Helpers/utf.h"
#include "plugin_list.h"
#include "script_error.h"
#include "scripted_list.h"

namespace {

// How often the caller hears of the scan's progress.
constexpr std::uint32_t k_progress_ms = 100;

std::wstring full_folder(const std::string& folder) {
    const std::wstring wide = utf8_to_wide(folder);
    const DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (n == 0) return wide;
    std::wstring full(n, L'\0');
    const DWORD written = GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
    if (written == 0 || written >= n) return wide;
    full.resize(written);
    return full;
}

// The effects found that the list has no entry of yet join it, in folder
// order, while it offers DSP slots; the rest are marked as left out.
bool add_found(folder_scan& scan, entry_list& list) {
    bool any = false;
    for (scan_file_result& r : scan.results()) {
        if (r.kind != scan_kind::effect) continue;
        if (list.size() >= static_cast<std::size_t>(k_slot_count)) {
            r.added = scan_file_result::adding::list_full;
            continue;
        }
        list.push_back(std::make_unique<entry>(r.plugin));
        r.added = scan_file_result::adding::added;
        any = true;
    }
    return any;
}

}  // namespace

std::unique_ptr<folder_scan> scripted_scan(const scripted_scan_request& request,
                                           const std::function<bool(const scan_progress&)>& keep_going,
                                           std::string& list_error) {
    if (request.folder.empty()) throw script_error(vst_script_bad_argument, "no folder was given");
    if (request.jobs > k_max_scan_jobs)
        throw script_error(vst_script_bad_argument, "jobs takes 0 (as many as there are processors) to " +
                                                        std::to_string(k_max_scan_jobs) + ", not " +
                                                        std::to_string(request.jobs));
    entry_list list = scripted_list();
    scan_request r;
    r.folder = full_folder(request.folder);
    r.recursive = request.recursive;
    r.rescan = request.rescan;
    r.jobs = request.jobs;
    for (const auto& e : list) r.listed.push_back({e->identifier, e->product_name, e->module_path});

    auto scan = std::make_unique<folder_scan>(std::move(r));
    bool going = true;
    while (!scan->wait(k_progress_ms))
        if (going && !keep_going(scan->progress())) {
            going = false;
            scan->cancel();
        }
    if (!scan->problem().empty()) throw script_error(vst_script_io_error, scan->problem());
    keep_going(scan->progress());

    if (request.add) {
        const entry_list before = scripted_list();
        if (add_found(*scan, list)) {
            try {
                scripted_write_list(list, &before);
            } catch (const script_error& e) {
                list_error = e.what();
                for (scan_file_result& f : scan->results()) f.added = scan_file_result::adding::not_asked;
            }
        }
    }
    return scan;
}

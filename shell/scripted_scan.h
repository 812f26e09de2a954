#pragma once
// A folder scanned for a scripting caller: the scan runs on threads of its
// own while the calling (main) thread reports its progress; effects found
// are added the way scripted_add adds one, and the list is written once.
// Failures are script_error. Main thread.
#include <functional>
#include <memory>
#include <string>

#include "../vst/folder_scan.h"

struct scripted_scan_request {
    std::string folder;  // UTF-8; a relative path is taken from the current folder
    bool recursive = false;
    bool rescan = false;
    bool add = false;
    unsigned jobs = 0;  // 0: default_scan_jobs()
};

// `keep_going` sees the progress several times a second and once at the
// end; false cancels the scan. The scan is over when this returns; its
// results carry what was added. When the list could not be written, what
// was to be added is not (their marks are cleared) and `list_error` says
// why.
std::unique_ptr<folder_scan> scripted_scan(const scripted_scan_request& request,
                                           const std::function<bool(const scan_progress&)>& keep_going,
                                           std::string& list_error);

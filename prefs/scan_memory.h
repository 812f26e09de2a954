#pragma once
// The files a folder scan remembers between scans: by path, size and
// last-write time, what each was found to be, so that scanning a folder
// again loads none of the files that did not change (a plug-in that crashed
// or hung is not tried again). A variable of the component's configuration,
// stored as shell/scan_memory_format.h says, bounded, and not believed when
// damaged. Scans on any thread ask and add while the main thread may save.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "../host/cfg_var.h"
#include "../shell/scan_memory_format.h"

class scan_memory final : public cfg_var {
public:
    explicit scan_memory(const GUID& guid) : cfg_var(guid) {}

    // What the file at `path` was found to be, if it still has this size and
    // last-write time.
    std::optional<stored_scan_file> find(const std::wstring& path, std::uint64_t size,
                                         std::uint64_t last_write) const;
    // Forgets every remembered path `forget` answers true for, then
    // remembers `learnt` (replacing what was kept for the same paths), newest
    // last; beyond the bound the oldest go.
    void update(const std::vector<stored_scan_file>& learnt,
                const std::function<bool(const std::wstring& path)>& forget);
    std::size_t size() const;
    void clear();

    // A damaged record leaves what is remembered as it was.
    void read_raw(stream_reader& in, std::size_t size, abort_callback& abort) override;
    void write_raw(stream_writer& out, abort_callback& abort) override;

private:
    void index_files();  // under lock_

    mutable std::mutex lock_;
    std::vector<stored_scan_file> files_;  // oldest first
    // The upper-case path of each file (paths compare as Windows compares
    // them), to its place in files_.
    std::unordered_map<std::wstring, std::size_t> index_;
};

scan_memory& remembered_scan_files();

// The key paths are compared by: Windows file names ignore case.
std::wstring scan_path_key(const std::wstring& path);

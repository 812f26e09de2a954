#pragma once
// What a folder scan says about one file.
#include <cstddef>
#include <cstdint>
#include <string>

#include "../shell/entry.h"
#include "folder_walk.h"
#include "scan_kind.h"

inline constexpr std::size_t k_no_file = static_cast<std::size_t>(-1);

struct scan_file_result {
    found_file file;
    std::string shown;  // the path from the scanned folder, UTF-8
    scan_kind kind = scan_kind::not_checked;
    // Taken from an earlier scan: the file has not changed since, and was
    // not loaded this time.
    bool remembered = false;
    std::uint16_t machine = 0;  // of its PE header; 0 when it has none
    // Effects, listed ones and duplicates: the record "&Add..." would make,
    // with the file's full path as its module path.
    entry plugin;
    // Everything else: what the file is, in words (the diagnosis without
    // its path, for a file that was loaded). Listed ones and duplicates:
    // which entry or file they are the same plug-in as.
    std::string detail;
    std::size_t first = k_no_file;  // duplicates: the result of the first file of the same plug-in

    enum class adding : std::uint8_t { not_asked, added, list_full };
    adding added = adding::not_asked;
};

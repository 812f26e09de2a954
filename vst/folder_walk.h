#pragma once
// The DLLs of a folder, for a scan: every file whose name ends in ".dll",
// in folder order (a folder's own files by name, then each subfolder's, by
// name). Links and junctions are followed, but a folder already visited is
// never entered again, and depth, folders and files are bounded, so that no
// tree can keep a walk going for ever. Any thread.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct found_file {
    std::wstring path;  // full path
    std::uint64_t size = 0;
    std::uint64_t last_write = 0;  // FILETIME
};

struct walk_limits {
    std::size_t files = 10000;    // DLLs
    std::size_t folders = 10000;  // folders looked through, the scanned one included
    std::size_t depth = 32;       // subfolder levels below the scanned folder
};

struct folder_walk {
    std::vector<found_file> files;
    // What was left out and why, in words (a subfolder that could not be
    // read, one that leads back to a folder already walked, a limit).
    std::vector<std::string> notes;
    std::size_t folders = 0;
    // Every folder in reach was read to its end: no limit, no unreadable
    // folder, no stop. Only then are files it no longer holds known gone.
    bool complete = true;
};

// Why the folder cannot be scanned (it does not exist, is a file, or cannot
// be read), in words; empty when it can.
std::string scan_folder_problem(const std::wstring& folder);

// Stops early, with what it found so far, once `stop` is set. `found`
// counts the DLLs found so far, for a progress display on another thread.
folder_walk walk_folder(const std::wstring& folder, bool recursive, const std::atomic<bool>& stop,
                        const walk_limits& limits = {}, std::atomic<std::size_t>* found = nullptr);

// The system's text for a Win32 error code, on one line.
std::string system_error_text(std::uint32_t code);

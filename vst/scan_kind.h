#pragma once
// What a folder scan found a file to be. The values of the kinds a scan
// remembers are stored in the component's configuration: never renumber
// them. No Windows here: the stored form's native harness includes it.
#include <cstdint>

enum class scan_kind : std::uint8_t {
    // Remembered between scans, by path, size and last-write time.
    effect = 1,      // a VST effect that loads here
    instrument = 2,  // a VST instrument: not used as an effect
    not_plugin = 3,  // no VST effect; the diagnosis says why
    crashed = 4,     // it crashed while it was checked
    hung = 5,        // it stopped answering while it was checked; its process was ended
    not_dll = 6,     // no Windows DLL: empty, no PE header, or a program
    // Only for one scan.
    already_listed = 16,  // an effect the plug-in list already holds
    duplicate = 17,       // the same plug-in as an earlier file of the scan
    unreadable = 18,      // the file could not be opened or read
    not_checked = 19,     // the scan was cancelled before it got there
};

inline bool remembered_kind(std::uint8_t value) {
    return value >= static_cast<std::uint8_t>(scan_kind::effect) &&
           value <= static_cast<std::uint8_t>(scan_kind::not_dll);
}

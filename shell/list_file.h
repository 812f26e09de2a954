#pragma once
// The plug-in list file "vst_entries.bin" in the host's profile folder.
// A list that cannot be read is empty. A save either puts the whole list in
// place or leaves the old file as it was, and says which.
#include <cstddef>
#include <string>

#include "entry.h"

// The profile folder text with any scheme prefix ("file://") removed, joined
// with the file name.
std::wstring list_file_path(const char* profile_folder);

// The most entries a load creates, whatever the file's count says: far more
// plug-ins than anyone owns, and few enough that a damaged count cannot make
// the player allocate millions of empty records.
constexpr std::size_t list_file_max_records = 65536;

struct list_save_result {
    bool saved = false;
    std::string error;  // one line for the user when not saved
};

void load_list_file(const std::wstring& path, entry_list& target);
// Refuses, writing nothing, a list with a field the file cannot hold
// (fits_list_field), so the file always reads back as the list.
list_save_result save_list_file(const std::wstring& path, const entry_list& list);
// The file holds `list`: every field of every record, in order.
bool list_file_holds(const std::wstring& path, const entry_list& list);

// The same, at the file's place in the host's profile folder.
void load_list(entry_list& target);
list_save_result save_list(const entry_list& list);

#pragma once
// The plug-in list file "vst_entries.bin" in the host's profile folder.
// Errors of this file are silent: a list that cannot be read is empty, a
// list that cannot be written leaves the old file as it was.
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

void load_list_file(const std::wstring& path, entry_list& target);
void save_list_file(const std::wstring& path, const entry_list& list);

// The same, at the file's place in the host's profile folder.
void load_list(entry_list& target);
void save_list(const entry_list& list);

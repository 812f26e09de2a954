#pragma once
// The plug-in list file "vst_entries.bin" in the host's profile folder.
// Errors of this file are silent: a list that cannot be read is empty, a
// list that cannot be written leaves the old file as it was.
#include <string>

#include "entry.h"

// The profile folder text with any scheme prefix ("file://") removed, joined
// with the file name.
std::wstring list_file_path(const char* profile_folder);

void load_list_file(const std::wstring& path, entry_list& target);
void save_list_file(const std::wstring& path, const entry_list& list);

// The same, at the file's place in the host's profile folder.
void load_list(entry_list& target);
void save_list(const entry_list& list);

#pragma once
// The plug-in list file edited for a scripting caller: the same checks as
// the preferences page, and a write that is read back, so that a list that
// could not be written is an error rather than silence. Failures are
// script_error. Main thread.
#include <cstddef>
#include <memory>
#include <string>

#include "entry.h"

entry_list scripted_list();
// Checks the DLL, appends it and writes the list; returns the list as
// written, the new entry last.
entry_list scripted_add(const std::string& module_path);
// Removes the entry at `position` if it still carries `identifier`.
std::unique_ptr<entry> scripted_remove(std::size_t position, const GUID& identifier);
// The legacy registry list replaces the file's; `replaced` is the count
// the file held before.
entry_list scripted_import_legacy(std::size_t& replaced);
// Where that list is kept, as a user would name the registry key.
std::string legacy_list_source();

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
// Writes the list and reads it back; a list that did not read back as
// written is put back as `restore` was, when given.
void scripted_write_list(const entry_list& list, const entry_list* restore = nullptr);
// Checks the DLL, appends it and writes the list; returns the list as
// written, the new entry last. With `own_process` the DLL is checked in a
// process of its own and is chosen to run in one.
entry_list scripted_add(const std::string& module_path, bool own_process);
// Removes the entry at `position` if it still carries `identifier`, and
// its choice of a process with it.
std::unique_ptr<entry> scripted_remove(std::size_t position, const GUID& identifier);
// Chooses where the entry at `position`, if it still carries `identifier`,
// runs from its next load; returns it.
std::unique_ptr<entry> scripted_set_own_process(std::size_t position, const GUID& identifier, bool own);
// The legacy registry list replaces the file's; `replaced` is the count
// the file held before.
entry_list scripted_import_legacy(std::size_t& replaced);
// Where that list is kept, as a user would name the registry key.
std::string legacy_list_source();

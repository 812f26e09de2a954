#pragma once
// The plug-in list read at start. Written only inside the export; read
// without a lock from any thread afterwards.
#include <windows.h>

#include "entry.h"

inline constexpr int k_slot_count = 20;

entry_list& plugin_list();
// The first entry whose identifier equals `id`, or null.
const entry* find_entry(const GUID& id);
// Entry N of the list, or null past its end.
const entry* slot_entry(int slot);

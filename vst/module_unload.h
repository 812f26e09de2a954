#pragma once
// Unloading a plug-in's DLL from the player's process. A plug-in may leave
// a thread of its own running after effClose (a worker that calls back now
// and then, a timer thread it never stops): unloading the DLL under it
// would take the player down the moment that thread runs its next
// instruction there. Such a DLL stays loaded.
#include <windows.h>

#include <cstdint>

#include "../Helpers/win32_handles.h"

// A mark to take before the plug-in's code first runs.
std::uint32_t threads_started_so_far();

// Unloads the module, unless a thread other than the calling one still
// runs its code or will return into it: its instruction pointer, or a
// return address on its live stack, lies in the module's image. Then the
// module stays loaded until the process ends. When no thread at all was
// started since `mark`, no thread can be the plug-in's, and none is looked at.
void unload_plugin_module(unique_module module, std::uint32_t mark);

// Whether a thread other than the calling one runs or returns into the
// image of `module`.
bool image_in_use_by_other_threads(HMODULE module);

#pragma once
// Unloading a plug-in's DLL from the player's process. A plug-in may leave
// a thread of its own running after effClose (a worker that calls back now
// and then, a timer thread it never stops): unloading the DLL under it
// would take the player down the moment that thread runs its next
// instruction there. Such a DLL stays loaded.
#include <windows.h>

#include <cstdint>

#include "../Helpers/thread_slot.h"
#include "../Helpers/win32_handles.h"

// A mark to take before the plug-in's code first runs.
std::uint32_t threads_started_so_far();

// The calling thread calls into plug-ins on the host's behalf (audio, main,
// editor threads): it runs a plug-in's code only inside such a call, never
// on its own, so it is no reason to keep a DLL loaded (its stack may still
// hold return addresses of calls that are long over). Once per thread is
// enough; after that the look costs no call, as every plug-in call makes
// it. Not from inside a plug-in's call of the host.
extern const thread_value<bool> t_host_thread_noted;
void note_new_host_thread();
inline void note_host_thread() {
    if (!t_host_thread_noted.get()) note_new_host_thread();
}

// Gives back this reference to the module. The last one unloads it, unless
// a thread other than the calling one still runs its code or will return
// into it (its instruction pointer, or a return address on its live stack,
// lies in the module's code); then the unload waits, and is tried again at
// every later unload, until no thread runs the module's code. When no thread at all was started since `mark`, no thread
// can be the plug-in's, and none is looked at. `last`: no other reference
// of ours holds the module (another instance of the same DLL may be running
// its code on other threads, which is no reason to keep it).
void unload_plugin_module(unique_module module, std::uint32_t mark, bool last);

// A plug-in DLL that stays loaded may still call back into the component
// from a thread of its own: the component stays loaded too, until the
// process ends, whoever lets it go (a host that unloads its components
// when it is done with them).
void keep_component_loaded();

// Whether a thread other than the calling one runs or returns into the
// image of `module`.
bool image_in_use_by_other_threads(HMODULE module);

#pragma once
// What the user is told when a plug-in faults inside a call, or puts out
// samples that had to be replaced.
#include <cstdint>
#include <string>

#include "guard/plugin_guard.h"

class vst;

// The diagnosis of a plug-in that faulted while it was being validated.
std::string plugin_fault_diagnosis(const char* call, const plugin_fault& fault);
// Tells the user once that a loaded plug-in faulted and was switched off.
// Any thread: the message is queued to the main thread, so no thread waits
// on a message box while it holds a lock or plays audio. When two chain
// positions use the plug-in, the message says which one.
// How the message ends: `moved`, it runs in a process of its own from its
// next load (crash_move.h); `kept_failing`, it was restarted as often as it
// may be (plugin_restart.h).
enum class fault_end { switched_off, moved, kept_failing };
void report_plugin_fault(const vst& plugin, const char* call, const plugin_fault& fault,
                         fault_end end = fault_end::switched_off);
// "crashed in effSetChunk (access violation)", "stopped answering in ...".
std::string plugin_fault_summary(const char* call, const plugin_fault& fault);
// A plug-in in a process of its own came back after `call`'s fault: the
// `count`th restart of `limit` in the window. Any thread, as above.
void report_plugin_restarted(const vst& plugin, const char* call, const plugin_fault& fault, std::uint32_t count,
                             std::uint32_t limit);
// One that could not be brought back (`why`), and was switched off.
void report_restart_failed(const vst& plugin, const char* call, const plugin_fault& fault, const std::string& why);
// Tells the user once that a plug-in's output held samples that were not
// finite numbers, which were replaced with silence. Any thread, as above.
void report_non_finite_output(const vst& plugin);
// A plug-in state larger than the component keeps: told once for each
// time, with the plug-in's name and the size. Any thread, as above.
enum class chunk_direction { from_plugin, to_plugin };
void report_chunk_too_large(const vst& plugin, std::uint64_t bytes, chunk_direction direction);
// A block that could not be handed to a plug-in in a process of its own at
// all (not a late one): told once, the chunk passes through.
void report_audio_not_given(const vst& plugin, const char* why);

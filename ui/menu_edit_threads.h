#pragma once
// The menu edits that are running, each on a thread of its own, and what
// becomes of them when the component stops: their windows are closed and
// waited for (a bounded time), and once the player's services go, a late
// report no longer queues a chain edit for a player that is gone.
#include <windows.h>

#include <cstdint>

#include "../host/main_thread.h"

namespace menu_edit_threads {

// Main thread, before the thread starts: a new menu edit, known by the
// number returned. `adopt` then hands over its thread's handle (the list
// closes it), unless the thread has ended already.
std::uint64_t enlist();
void adopt(std::uint64_t id, HANDLE thread);
// The menu edit's thread, at its end; also when its thread never started.
void leave(std::uint64_t id);

// Signalled from the moment the component stops: no menu edit waits longer.
HANDLE stopping_event();

// Menu-edit thread: hands a chain edit to the player's main thread. False,
// with nothing queued, once the component has stopped.
bool queue_chain_edit(main_thread_callback& job);

// Main thread, at the component's stop: closes every window of every
// running menu edit and waits for them to end, at most `timeout_ms`.
// Answers whether all ended.
bool close_all(DWORD timeout_ms);
// Main thread, at the component's start: menu edits may queue again.
void reopen();

}  // namespace menu_edit_threads

#pragma once
// A plug-in that crashed or hung in the player's process runs in a process
// of its own from its next load, with "Move a plug-in that crashed into its
// own process" on: its per-plug-in choice is set and marked as made after a
// crash, and the user can switch it back as any other choice.
class vst;

// Any thread. Whether the plug-in was moved (the fault's message says so).
bool move_after_crash(const vst& plugin);

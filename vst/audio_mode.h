#pragma once
// How the player's audio runs now: played as it is heard, or offline (a
// file processed faster than real time, as the tool's process job does,
// which says so through the scripting interface). A plug-in in a process of
// its own is waited for offline, where nothing can be late. Any thread.
bool audio_offline();
void set_audio_offline(bool offline);

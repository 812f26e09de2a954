#pragma once
// The windows a plug-in made inside its editor window: what is left of them
// once the plug-in has been switched off. Window thread.
#include <windows.h>

// Gives every window below `editor` (its child windows, and the windows it
// owns with theirs) the system's default window procedure, so that none of
// the plug-in's code runs for them again, not even when they are destroyed.
void silence_plugin_windows(HWND editor);

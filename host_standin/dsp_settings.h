#pragma once
// The player's own DSP settings: the configuration popup of one playback
// chain position, on the main thread, with the player's edit callback.
#include <windows.h>

#include <cstddef>

#include "component_host.h"

// Each preset the popup reports replaces that chain position at once and the
// chain is written. Answers whether any preset was reported.
bool edit_dsp_settings(component_host& host, std::size_t position, HWND parent);

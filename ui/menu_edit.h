#pragma once
// A DSP's configuration popup opened from the main menu, on a thread of its
// own, and the look-ups the main-menu commands share with it.
#include <windows.h>

#include "../host/dsp.h"
#include "../host/dsp_preset.h"

// The first registered DSP entry with this GUID, or null.
service_ptr_t<dsp_entry> find_dsp_entry(const GUID& owner);
// The DSP of `owner` is registered and has a configuration popup.
bool has_config_popup(const GUID& owner);

// Shows the popup of the preset's DSP; it reports through `callback`. Blocks
// until the popup has closed. Nothing is shown for an unknown DSP.
void show_dsp_popup(const dsp_preset& preset, HWND parent, dsp_preset_edit_callback& callback);

// Main thread: starts a menu edit for a chain entry and returns at once.
void start_menu_edit(const dsp_preset& chain_entry);

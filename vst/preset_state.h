#pragma once
// A plug-in's state in a DSP preset: instance key, then nothing, the bank
// chunk, or the parameter values.
#include <windows.h>

#include "../host/dsp_preset.h"

class vst;

// Copies the preset into the vst and restores the plug-in's state from it.
void apply_preset(vst& plugin, const dsp_preset& preset);
// Restores the plug-in's state from the preset, leaving the vst's own
// copy (and so its instance key) as it is.
void restore_preset_state(vst& plugin, const dsp_preset& preset);
// The same for a plug-in that is not usable yet, but may be called: one
// being restarted, on the restarting thread.
void give_preset_state(vst& plugin, const dsp_preset& preset);
// Captures the plug-in's state, with a fresh instance key. Answers false
// when the plug-in had no state to give: not loaded, or switched off after a
// crash (before or during the capture); `out` then holds the key alone.
bool capture_preset(vst& plugin, const GUID& owner, dsp_preset& out);

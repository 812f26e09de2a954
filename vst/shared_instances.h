#pragma once
// One loaded plug-in shared by every DSP instance, popup and editor made
// from the same preset: found by the preset's instance key (its first
// 32-bit word), counted under the instance lock, and destroyed on the
// thread that created it.
#include "../host/dsp_preset.h"
#include "../shell/entry.h"

class vst;

// Any thread. Returns a vst with one more reference, loaded or not.
vst* acquire_vst(const entry& configured, const dsp_preset& preset);
// Any thread. One more reference to a vst the caller already holds one of.
void add_vst_reference(vst& plugin);
// Any thread. Returns the vst while references remain, else null.
vst* release_vst(vst* plugin);

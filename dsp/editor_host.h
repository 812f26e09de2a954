#pragma once
// Runs the plug-in's editor window modally and reports the captured preset.
#include <windows.h>

#include "../host/dsp.h"
#include "../shell/entry.h"

class vst;

void run_editor(vst& plugin, const entry& slot, const dsp_preset& preset, HWND parent,
                dsp_preset_edit_callback& callback);

#pragma once
// A slot's configuration popup: the plug-in's editor, or the reason there
// is none. Runs on the thread that asks, blocking it while the editor shows.
#include <windows.h>

#include "../host/dsp.h"
#include "../shell/entry.h"

void show_config_popup_with_callback(const entry& slot, const dsp_preset& preset, HWND parent,
                                     dsp_preset_edit_callback& callback);
// Answers true only when the popup reported a preset that differs.
bool show_config_popup_returning(const entry& slot, dsp_preset& preset, HWND parent);

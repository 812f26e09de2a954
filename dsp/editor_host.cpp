#include "editor_host.h"

#include "../ui/editor.h"

// The opener's own reference keeps the plug-in alive for the whole run; the
// window takes one of its own from the same preset.
void run_editor(vst&, const entry& slot, const dsp_preset& preset, HWND parent, dsp_preset_edit_callback& callback) {
    editor window(preset, slot, callback);
    window.run(parent);
}

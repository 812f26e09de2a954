#include "editor_host.h"

#include "../ui/editor.h"

// The opener's own reference keeps the plug-in alive for the whole run; the
// window takes one more on the same instance.
void run_editor(vst& plugin, const entry&, const dsp_preset& preset, HWND parent,
                dsp_preset_edit_callback& callback) {
    editor window(preset, plugin, callback);
    window.run(parent);
}

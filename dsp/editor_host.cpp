#include "editor_host.h"

#include "../host/exception_win32.h"
#include "../shell/popups.h"
#include "../ui/editor.h"
#include "../vst/vst.h"

// The opener's own reference keeps the plug-in alive for the whole run; the
// window takes one more on the same instance.
void run_editor(vst& plugin, const entry&, const dsp_preset& preset, HWND parent,
                dsp_preset_edit_callback& callback) {
    editor window(preset, plugin, callback);
    DWORD error = ERROR_SUCCESS;
    if (window.run(parent, error)) return;
    std::string text = "The editor window of \"" + plugin.product_name + "\" could not be opened";
    text += error != ERROR_SUCCESS ? ": " + format_win32_error(error) : ".";
    show_popup(text, k_title_error, popup_message::icon_error);
}

#pragma once
// One open editor window: a small dialog of the component that holds the
// plug-in's own editor, offers program files in its system menu and, when
// it closes, reports the plug-in's state as a new preset.
#include <windows.h>

#include "../Helpers/dialog_window.h"
#include "../host/dsp.h"
#include "../host/dsp_preset.h"
#include "../shell/entry.h"
#include "../vst/aeffect.h"
#include "../vst/editor_link.h"
#include "../vst/instance_tracker.h"
#include "../vst/vst_ref.h"

inline constexpr int k_editor_dialog = 102;
inline constexpr UINT k_command_load_program = 24;
inline constexpr UINT k_command_save_program = 23;

class editor final : public dialog_window, public editor_link, public instanceTrackerV2<editor> {
public:
    // Takes a reference of its own to the plug-in instance the opener holds
    // (the one the preset names), so the window edits exactly that one.
    editor(const dsp_preset& preset, vst& plugin, dsp_preset_edit_callback& callback);
    ~editor() override;
    editor(const editor&) = delete;
    editor& operator=(const editor&) = delete;

    // Modal on the calling thread; returns once the window is destroyed.
    void run(HWND parent);
    // Any thread: the plug-in asks for a new size of its area.
    bool resize_client(int width, int height) override;

private:
    bool on_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
    void initialise();
    void place_over_main_window();
    void program_file(UINT command);
    void close_down();
    bool handle(UINT message, WPARAM wparam, LRESULT& result);

    vst_ref plugin_;  // held from construction until WM_DESTROY
    AEffect* effect_;
    dsp_preset_edit_callback& callback_;
    dsp_preset_impl preset_;
};

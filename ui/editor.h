#pragma once
// One open editor window: a small dialog of the component that holds the
// plug-in's own editor, offers program files in its system menu and, when
// it closes, reports the plug-in's state as a new preset.
#include <windows.h>

#include "../Helpers/dialog_window.h"
#include "../host/dsp.h"
#include "../host/dsp_preset.h"
#include "../shell/entry.h"
#include "../plugin_api/aeffect.h"
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
    // False when the window never opened; `error` then holds the system's
    // reason, or ERROR_SUCCESS when it gave none.
    bool run(HWND parent, DWORD& error);
    // The window's thread: the plug-in's area gets this size now.
    bool resize_client(int width, int height) override;
    // Any thread: the request is applied on the window's thread.
    bool post_resize(int width, int height) override;
    DWORD window_thread() const override { return window_thread_; }

private:
    bool on_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
    bool run_step(const MSG* message, void (*step)(void*), void* context) override;
    void initialise();
    void place_over_main_window();
    SIZE plugin_area(SIZE otherwise);
    void program_file(UINT command);
    void close_down();
    bool handle(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);

    vst_ref plugin_;  // held from construction until WM_DESTROY
    // The same instance for the steps of the modal run, the last one after
    // WM_DESTROY included: the opener's reference keeps it alive.
    vst& instance_;
    AEffect* effect_;
    DWORD window_thread_ = 0;  // set when the window opens
    // The plug-in's restart generation the window was opened in.
    std::uint32_t generation_ = 0;
    dsp_preset_edit_callback& callback_;
    dsp_preset_impl preset_;
};

#include "editor.h"

#include <cstdint>
#include <exception>
#include <string>

#include "../Helpers/utf.h"
#include "../shell/component.h"
#include "../shell/popups.h"
#include "../vst/instance_lock.h"
#include "../vst/opcode_names.h"
#include "../vst/preset_state.h"
#include "../vst/program_file.h"
#include "../vst/vst.h"
#include "file_dialog.h"
#include "plugin_windows.h"

namespace {

constexpr UINT_PTR k_idle_timer = 0;
constexpr UINT k_idle_period_ms = 30;
// A size request from another thread: width and height as signed values.
constexpr UINT k_resize_message = WM_APP;

}  // namespace

editor::editor(const dsp_preset& preset, vst& plugin, dsp_preset_edit_callback& callback)
    : plugin_(vst_ref::share(plugin)),
      instance_(plugin),
      effect_(plugin_->effect),
      callback_(callback),
      preset_(preset) {
    join_live_set();
}

// A window that never opened never reached WM_DESTROY: its reference goes here.
editor::~editor() {
    leave_live_set();
    if (plugin_) set_editor_link(effect_, nullptr);
}

// The dialog answers -1 when it cannot be created and 0 for a parent that
// is no window, so whether it opened is told by its initialisation.
bool editor::run(HWND parent, DWORD& error) {
    SetLastError(ERROR_SUCCESS);
    run_modal(component_instance(), k_editor_dialog, parent);
    error = window_thread_ ? ERROR_SUCCESS : GetLastError();
    return window_thread_ != 0;
}

bool editor::post_resize(int width, int height) {
    HWND window = hwnd();
    return window && PostMessageW(window, k_resize_message, static_cast<WPARAM>(static_cast<std::intptr_t>(width)),
                                  static_cast<LPARAM>(height)) != FALSE;
}

bool editor::resize_client(int width, int height) {
    HWND window = hwnd();
    RECT rect;
    if (!window || !GetClientRect(window, &rect)) return false;
    if (width != -1) rect.right = width;
    if (height != -1) rect.bottom = height;
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
    const auto ex_style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
    const BOOL has_menu = !(style & WS_CHILD) && GetMenu(window) != nullptr;
    if (!AdjustWindowRectEx(&rect, style, has_menu, ex_style)) return false;
    return SetWindowPos(window, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                        SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE) != FALSE;
}

// Window thread, as every message below. Nothing may leave through the
// system's dialog code: a failure is shown, and the window goes on.
bool editor::on_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
    try {
        return handle(message, wparam, lparam, result);
    } catch (const std::exception& e) {
        try {
            show_popup(e.what(), k_title_error, popup_message::icon_error);
        } catch (const std::exception&) {
            // No message service either; the window still closes cleanly.
        }
        return false;
    }
}

bool editor::handle(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
    switch (message) {
        case WM_INITDIALOG:
            initialise();
            result = TRUE;  // the system sets the default focus
            return true;
        case k_resize_message:
            resize_client(static_cast<int>(static_cast<std::intptr_t>(wparam)), static_cast<int>(lparam));
            result = 0;
            return true;
        case WM_TIMER:
            if (wparam != k_idle_timer) return false;
            plugin_->dispatch(effEditIdle);
            result = 1;
            return true;
        case WM_SYSCOMMAND:
            // The whole command word: these identifiers have bits in the low
            // four that the system's own commands keep for itself.
            if (wparam == k_command_load_program || wparam == k_command_save_program)
                program_file(static_cast<UINT>(wparam));
            return false;
        case WM_CLOSE:
            KillTimer(hwnd(), k_idle_timer);
            end_modal(1);
            return false;
        case WM_DESTROY:
            close_down();
            return false;
        default:
            return false;
    }
}

// The system calls the plug-in's window procedures and timers from every
// step of the modal run, past the guard around our own calls into it: each
// step runs inside a guard of its own. Once the plug-in has been switched
// off, by a fault here or in any other call on any thread, the window
// closes, and what is left of the plug-in's windows runs none of its code.
// So does it once the plug-in is being restarted.
bool editor::run_step(const MSG* message, void (*step)(void*), void* context) {
    if (instance_.faulted) silence_plugin_windows(hwnd());
    plugin_fault fault;
    if (!call_guarded(fault, [&] { step(context); }))
        instance_.report_fault(message && message->message == WM_TIMER ? k_call_editor_timer : k_call_editor_window,
                               fault);
    // A restarted plug-in's window was in the process that is gone.
    const bool restarted = instance_.restart.generation() != generation_;
    if (!instance_.faulted && !restarted) return true;
    KillTimer(hwnd(), k_idle_timer);
    if (instance_.faulted) silence_plugin_windows(hwnd());
    return false;
}

void editor::initialise() {
    window_thread_ = GetCurrentThreadId();
    generation_ = instance_.restart.generation();
    set_editor_link(effect_, this);

    // Position 0 is read as a command identifier, so each item goes in
    // before the first item whose identifier is 0.
    HMENU system_menu = GetSystemMenu(hwnd(), FALSE);
    InsertMenuW(system_menu, 0, MF_BYCOMMAND | MF_STRING, k_command_load_program, L"&Load program...");
    InsertMenuW(system_menu, 0, MF_BYCOMMAND | MF_STRING, k_command_save_program, L"&Save program as...");

    SetWindowTextW(hwnd(), utf8_to_wide(plugin_->product_name).c_str());
    RECT template_client{};
    GetClientRect(hwnd(), &template_client);
    place_over_main_window();

    plugin_->dispatch(effEditOpen, 0, 0, hwnd());
    const SIZE area = plugin_area({template_client.right, template_client.bottom});
    resize_client(area.cx, area.cy);

    SetTimer(hwnd(), k_idle_timer, k_idle_period_ms, nullptr);
}

// The size of the plug-in's rectangle; `otherwise` (the template's) when it
// gives none, or one without area, as some editors do before they know
// their size.
SIZE editor::plugin_area(SIZE otherwise) {
    ERect* rect = nullptr;
    plugin_->dispatch(effEditGetRect, 0, 0, &rect);
    // The rectangle is the plug-in's memory, read under the guard.
    int width = 0, height = 0;
    if (!rect || !plugin_->guarded("effEditGetRect", [&] {
            width = rect->right - rect->left;
            height = rect->bottom - rect->top;
        }))
        return otherwise;
    if (width <= 0 || height <= 0) return otherwise;
    return {width, height};
}

void editor::place_over_main_window() {
    HWND main_window = core_api().main_window();
    if (!main_window || !IsWindowVisible(main_window)) return;
    if (GetWindowLongPtrW(main_window, GWL_STYLE) & WS_MINIMIZE) return;
    RECT r;
    if (!GetWindowRect(main_window, &r)) return;
    MoveWindow(hwnd(), r.left, r.top, r.right - r.left, r.bottom - r.top, FALSE);
}

void editor::program_file(UINT command) {
    const bool load = command == k_command_load_program;
    const std::wstring path = ask_file_name(hwnd(), !load, L"VST program file (*.fxp)\0*.fxp\0", L"fxp");
    if (path.empty()) return;
    const std::string chosen = wide_to_utf8(path);
    // The host's I/O errors would otherwise unwind through the system's
    // dialog code; the window stays open and the user reads what failed.
    try {
        if (load) load_fxp(*plugin_, chosen);
        else save_fxp(*plugin_, chosen);
    } catch (const std::exception& e) {
        show_popup(e.what(), k_title_error, popup_message::icon_error);
    }
}

void editor::close_down() {
    // However the report goes, the plug-in stops pointing at this window and
    // the window's reference is given back.
    struct let_go {
        editor& e;
        ~let_go() {
            set_editor_link(e.effect_, nullptr);
            e.plugin_.reset();
        }
    } on_exit{*this};

    // A restarted plug-in never opened this window.
    if (plugin_->restart.generation() == generation_) plugin_->dispatch(effEditClose);
    // A plug-in that crashed there left its windows behind, and they go
    // with ours: none of its code may run for them.
    if (plugin_->faulted) silence_plugin_windows(hwnd());

    dsp_preset_impl captured;
    if (!capture_preset(*plugin_, preset_.get_owner(), captured)) {
        // A plug-in switched off after a crash has no state to give: report
        // the settings the window was opened with, so none are lost.
        callback_.on_preset_changed(preset_);
        return;
    }
    {
        // Acquisitions compare current presets under this lock.
        critical_section_scope guard(instance_lock());
        plugin_->current_preset.assign(captured);
    }
    callback_.on_preset_changed(captured);
    preset_ = captured;
}

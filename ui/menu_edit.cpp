#include "menu_edit.h"

#include <exception>
#include <memory>

#include "../shell/component.h"
#include "dsp_menu_callback.h"
#include "menu_edit_list.h"
#include "menu_edit_threads.h"

service_ptr_t<dsp_entry> find_dsp_entry(const GUID& owner) {
    service_ptr_t<dsp_entry> found;
    for_each_service<dsp_entry>(core_api(), [&](service_ptr_t<dsp_entry> e) {
        if (e->get_guid() != owner) return true;
        found = std::move(e);
        return false;
    });
    return found;
}

bool has_config_popup(const GUID& owner) {
    service_ptr_t<dsp_entry> e = find_dsp_entry(owner);
    return e && e->has_config_popup();
}

void show_dsp_popup(const dsp_preset& preset, HWND parent, dsp_preset_edit_callback& callback) {
    service_ptr_t<dsp_entry> e = find_dsp_entry(preset.get_owner());
    if (!e) return;
    service_ptr_t<dsp_entry_v2> v2;
    if (e.query_as(v2)) {
        v2->show_config_popup_v2(preset, parent, callback);
        return;
    }
    dsp_preset_impl copy(preset);
    if (e->show_config_popup(copy, parent)) callback.on_preset_changed(copy);
}

namespace {

// Menu-edit thread. The entry was listed by start_menu_edit already.
void run_menu_edit(const dsp_preset& preset) {
    dsp_menu_callback callback(preset);
    try {
        show_dsp_popup(preset, GetDesktopWindow(), callback);
    } catch (const std::exception&) {
        // A host look-up failed on a thread nobody waits for: nothing to
        // tell, and the entry must not stay marked as being edited.
    }
    menu_edit_list::remove_all_equal(callback.preset());
}

struct menu_edit_start {
    dsp_preset_impl preset;
    HMODULE module;  // holds the component loaded while the thread runs its code
    std::uint64_t id;  // among the running menu edits
};

DWORD WINAPI menu_edit_thread(LPVOID param) {
    HMODULE module = nullptr;
    {
        std::unique_ptr<menu_edit_start> start(static_cast<menu_edit_start*>(param));
        module = start->module;
        run_menu_edit(start->preset);
        menu_edit_threads::leave(start->id);
    }
    if (module) FreeLibraryAndExitThread(module, 0);
    return 0;
}

// A reference to the module this code lives in, unless that is the program.
HMODULE own_module_reference() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&menu_edit_thread),
                            &module))
        return nullptr;
    if (module == GetModuleHandleW(nullptr)) {
        FreeLibrary(module);
        return nullptr;
    }
    return module;
}

}  // namespace

void start_menu_edit(const dsp_preset& chain_entry) {
    auto start = std::make_unique<menu_edit_start>(
        menu_edit_start{dsp_preset_impl(chain_entry), own_module_reference(), menu_edit_threads::enlist()});
    // Listed here, on the main thread, before the thread exists: a second
    // execute of the same command before the thread runs finds it listed.
    menu_edit_list::append(start->preset);
    // The thread owns the copy from here on; only the component's stop
    // waits for it.
    const std::uint64_t id = start->id;
    HANDLE thread = CreateThread(nullptr, 0, menu_edit_thread, start.get(), 0, nullptr);
    if (!thread) {
        menu_edit_list::remove_all_equal(start->preset);
        menu_edit_threads::leave(id);
        if (start->module) FreeLibrary(start->module);
        return;
    }
    start.release();
    menu_edit_threads::adopt(id, thread);
}

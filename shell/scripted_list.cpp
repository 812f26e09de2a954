#include "scripted_list.h"

#include "../Helpers/one_line.h"
#include "../Helpers/utf.h"
#include "../prefs/legacy_import.h"
#include "../prefs/process_choice.h"
#include "../vst/pe_machine.h"
#include "../vst/vst.h"
#include "component.h"
#include "identifier_set_format.h"
#include "list_file.h"
#include "plugin_list.h"
#include "script_error.h"

namespace {

std::wstring list_path() { return list_file_path(core_api().profile_folder()); }

}  // namespace

// A save says why it failed; reading the file back then checks every field.
void scripted_write_list(const entry_list& list, const entry_list* restore) {
    const list_save_result saved = save_list(list);
    if (!saved.saved) throw script_error(vst_script_io_error, saved.error);
    if (list_file_holds(list_path(), list)) return;
    if (restore) save_list(*restore);
    throw script_error(vst_script_io_error,
                       "the plug-in list " + wide_to_utf8(list_path()) + " did not read back as written");
}

namespace {

// The entry at `position`, if it still carries `identifier`.
std::unique_ptr<entry>& listed_at(entry_list& list, std::size_t position, const GUID& identifier) {
    if (position >= list.size())
        throw script_error(vst_script_out_of_range, "no plug-in at list position " + std::to_string(position) +
                                                        " (the list holds " + std::to_string(list.size()) + ")");
    if (list[position]->identifier != identifier)
        throw script_error(vst_script_refused, "the plug-in list changed: position " + std::to_string(position) +
                                                   " now holds " + list[position]->product_name);
    return list[position];
}

void choose_own_process(const entry& plugin) {
    if (!own_process_choice().choose(plugin.identifier, true))
        throw script_error(vst_script_refused, "at most " + std::to_string(k_max_stored_identifiers) +
                                                   " plug-ins can be chosen to run in a process of their own");
}

}  // namespace

entry_list scripted_list() {
    entry_list list;
    load_list(list);
    return list;
}

entry_list scripted_add(const std::string& module_path, bool own_process) {
    entry_list list = scripted_list();
    // Only the first slots' worth of plug-ins become DSPs.
    if (list.size() >= static_cast<std::size_t>(k_slot_count))
        throw script_error(vst_script_refused, "the list already holds " + std::to_string(list.size()) +
                                                   " plug-ins; at most " + std::to_string(k_slot_count) +
                                                   " can be used");
    // Checking loads the DLL once, on this thread or in its own process,
    // and unloads it again.
    auto checked = std::make_unique<vst>(entry(module_path), true,
                                         own_process ? plugin_place::own_process : plugin_place::as_chosen);
    if (!checked->loaded) throw script_error(vst_script_refused, one_line(checked->diagnosis));
    for (const auto& listed : list)
        if (listed->identifier == checked->identifier)
            throw script_error(vst_script_refused, "This plug-in is already in the list. (" + listed->product_name +
                                                       ", " + listed->module_path + ")");
    list.push_back(std::make_unique<entry>(static_cast<const entry&>(*checked)));
    checked.reset();
    const bool was_chosen = own_process_choice().own_process(list.back()->identifier);
    if (own_process) choose_own_process(*list.back());
    try {
        scripted_write_list(list);
    } catch (const script_error&) {
        if (!was_chosen) own_process_choice().choose(list.back()->identifier, false);
        throw;
    }
    return list;
}

std::unique_ptr<entry> scripted_remove(std::size_t position, const GUID& identifier) {
    entry_list list = scripted_list();
    std::unique_ptr<entry> removed = std::move(listed_at(list, position, identifier));
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(position));
    scripted_write_list(list);
    // Another entry of the same plug-in keeps the choice.
    bool still_listed = false;
    for (const auto& e : list) still_listed = still_listed || e->identifier == identifier;
    if (!still_listed) own_process_choice().choose(identifier, false);
    return removed;
}

std::unique_ptr<entry> scripted_set_own_process(std::size_t position, const GUID& identifier, bool own) {
    entry_list list = scripted_list();
    std::unique_ptr<entry> chosen = std::move(listed_at(list, position, identifier));
    const std::uint16_t foreign = foreign_machine(*chosen);
    if (foreign != k_machine_unknown) {
        if (own) return chosen;
        throw script_error(vst_script_refused, chosen->product_name + " is an " + machine_name(foreign) +
                                                   " DLL: it always runs in a process of its own");
    }
    if (own)
        choose_own_process(*chosen);
    else
        own_process_choice().choose(identifier, false);
    return chosen;
}

entry_list scripted_import_legacy(std::size_t& replaced) {
    entry_list imported;
    try {
        import_legacy_list(imported);
    } catch (const wchar_t* assertion) {
        throw script_error(vst_script_io_error, wide_to_utf8(assertion ? assertion : L"registry error"));
    }
    // The page would empty the list here; a caller without a window to undo
    // it in keeps the list rather than replace it with nothing.
    if (imported.empty())
        throw script_error(vst_script_refused, "no legacy plug-in list in the registry (" + legacy_list_source() + ")");
    entry_list before = scripted_list();
    scripted_write_list(imported, &before);
    replaced = before.size();
    return imported;
}

std::string legacy_list_source() { return "HKEY_CURRENT_USER\\" + wide_to_utf8(k_legacy_key_path); }

// The page's "Add &folder...": a folder chosen, scanned in the scan dialog,
// and the effects checked there added as "&Add..." adds one. Main thread.
#include <shlwapi.h>

#include "../Helpers/utf.h"
#include "../shell/component.h"
#include "../shell/popups.h"
#include "../ui/folder_dialog.h"
#include "../vst/module_path.h"
#include "manager.h"
#include "scan_dialog.h"

namespace {

const wchar_t k_prompt[] = L"Choose the folder to scan for VST plug-ins:";

std::string names(const std::vector<std::string>& products) {
    std::string text;
    for (const std::string& p : products) text += (text.empty() ? "" : ", ") + p;
    return text;
}

}  // namespace

// Where the chooser starts: the folder of the last listed plug-in, where the
// next ones most likely are.
std::wstring manager::last_plugin_folder() const {
    const int rows = row_count();
    const entry* last = rows > 0 ? record_of(rows - 1) : nullptr;
    if (!last) return {};
    std::wstring path = utf8_to_wide(resolve_module_path(last->module_path));
    if (path.size() >= MAX_PATH) return {};
    path.resize(MAX_PATH);
    PathRemoveFileSpecW(path.data());
    return path.c_str();
}

void manager::on_add_folder() {
    const std::wstring folder = ask_folder(hwnd(), k_prompt, last_plugin_folder());
    if (folder.empty()) return;
    scan_dialog::setup s;
    s.folder = folder;
    for (const entry* e : records(false)) s.listed.push_back({e->identifier, e->product_name, e->module_path});
    const int rows = row_count();
    s.room = rows < k_max_add_rows ? static_cast<std::size_t>(k_max_add_rows - rows) : 0;
    s.process_text = [this](const entry& e) { return process_.text(e); };
    scan_dialog dialog(std::move(s));
    add_scanned(dialog.run(hwnd()));
}

// Appended in order while "&Add..." could still reach a row; the rest are
// named in one message.
void manager::add_scanned(std::vector<entry> chosen) {
    const bool portable = core_api().is_portable_installation();
    std::vector<std::string> left_out;
    bool added = false;
    for (entry& e : chosen) {
        if (row_count() >= k_max_add_rows) {
            left_out.push_back(e.product_name);
            continue;
        }
        e.module_path = wide_to_utf8(stored_module_path(utf8_to_wide(e.module_path), portable));
        insert_row(row_count(), std::make_unique<entry>(e));
        added = true;
    }
    if (added) {
        changed_ = true;
        show_switch();
        state_changed();
    }
    if (!left_out.empty())
        show_popup("The list is full: " + std::to_string(left_out.size()) + " of the checked plug-ins " +
                       (left_out.size() == 1 ? "was" : "were") + " not added (" + names(left_out) + "). At most " +
                       std::to_string(k_max_add_rows) + " plug-ins can be added.",
                   k_title_error, popup_message::icon_information);
}

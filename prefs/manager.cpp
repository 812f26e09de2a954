#include "manager.h"

#include <commctrl.h>
#include <shlwapi.h>

#include "../Helpers/utf.h"
#include "../Helpers/windowing_calls.h"
#include "../host/dsp_config.h"
#include "../ui/file_dialog.h"
#include "../shell/component.h"
#include "../shell/list_file.h"
#include "../shell/popups.h"
#include "../vst/vst.h"
#include "legacy_import.h"
#include "removal_warning.h"

namespace {

constexpr DWORD k_list_view_styles =
    LVS_EX_FULLROWSELECT | LVS_EX_UNDERLINEHOT | LVS_EX_LABELTIP | LVS_EX_DOUBLEBUFFER;  // 0x14820
const char k_already_listed[] = "This plug-in is already in the list.";
const char k_no_legacy_list[] = "No plug-in list from an older release was found.";

struct column {
    const wchar_t* header;
    int width;
};
const column k_columns[] = {{L"Product", 125}, {L"Vendor", 100}, {L"I/O", 40}, {L"Module", 220}, {L"Process", 60}};
const int k_process_column = 4;

void set_text(HWND list, int row, int col, const std::string& text) {
    std::wstring wide = utf8_to_wide(text);
    ListView_SetItemText(list, row, col, wide.data());
}

}  // namespace

std::wstring stored_module_path(const std::wstring& chosen, bool portable) {
    if (!portable) return chosen;
    wchar_t folder[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, folder, MAX_PATH);
    PathRemoveFileSpecW(folder);
    wchar_t relative[MAX_PATH] = {};
    if (!PathRelativePathToW(relative, folder, FILE_ATTRIBUTE_DIRECTORY, chosen.c_str(), FILE_ATTRIBUTE_NORMAL))
        return chosen;
    return relative;
}

manager::manager(service_ptr_t<preferences_page_callback> callback) : callback_(std::move(callback)) {}

manager::~manager() = default;

HINSTANCE manager::module() { return component_instance(); }

bool manager::on_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wparam) != BN_CLICKED) return false;
            if (LOWORD(wparam) == IDC_ADD) {
                // The Shift state as it was when the click was queued.
                on_add(GetKeyState(VK_SHIFT) < 0);
                result = 0;
                return true;
            }
            if (LOWORD(wparam) == IDC_ADD_FOLDER) {
                on_add_folder();
                result = 0;
                return true;
            }
            if (LOWORD(wparam) == IDC_REMOVE) {
                on_remove();
                result = 0;
                return true;
            }
            if (LOWORD(wparam) == IDC_OWN_PROCESS) {
                on_own_process();
                result = 0;
                return true;
            }
            return false;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lparam);
            if (header->idFrom == IDC_PLUGIN_LIST && header->code == LVN_ITEMCHANGED &&
                (reinterpret_cast<const NMLISTVIEW*>(lparam)->uChanged & LVIF_STATE))
                show_switch();
            return false;
        }
        case WM_INITDIALOG:
            on_init();
            result = TRUE;
            return true;
        case WM_DESTROY:
            on_destroy();
            return false;
        default:
            return false;
    }
}

void manager::on_init() {
    list_ = GetDlgItem(hwnd(), IDC_PLUGIN_LIST);
    ListView_SetExtendedListViewStyle(list_, k_list_view_styles);
    // Only the look of the list: without the theme library it keeps the
    // classic one.
    if (const set_window_theme_function set_theme = g_set_window_theme.get()) set_theme(list_, L"explorer", nullptr);
    int index = 0;
    for (const column& c : k_columns) {
        LVCOLUMNW col{};
        col.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH;
        col.fmt = LVCFMT_LEFT;
        col.pszText = const_cast<wchar_t*>(c.header);
        col.cx = ListView_GetStringWidth(list_, c.header) + 15;
        ListView_InsertColumn(list_, index++, &col);
    }
    index = 0;
    for (const column& c : k_columns) ListView_SetColumnWidth(list_, index++, c.width);
    // The process shows before the module, whose long paths would hide it.
    int order[] = {0, 1, 2, k_process_column, 3};
    ListView_SetColumnOrderArray(list_, index, order);
    reset();
}

void manager::on_destroy() {
    destroy_rows();
    list_ = nullptr;
}

int manager::row_count() const { return list_ ? ListView_GetItemCount(list_) : 0; }

std::vector<const entry*> manager::records(bool selected_only) const {
    std::vector<const entry*> out;
    for (int row = 0, rows = row_count(); row < rows; ++row)
        if (!selected_only || ListView_GetItemState(list_, row, LVIS_SELECTED))
            if (const entry* e = record_of(row)) out.push_back(e);
    return out;
}

entry* manager::record_of(int row) const {
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!ListView_GetItem(list_, &item)) return nullptr;
    return reinterpret_cast<entry*>(item.lParam);
}

void manager::insert_row(int row, std::unique_ptr<entry> record) {
    std::wstring product = utf8_to_wide(record->product_name);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = row;
    item.pszText = product.data();
    item.lParam = reinterpret_cast<LPARAM>(record.get());
    int at = ListView_InsertItem(list_, &item);
    if (at < 0) return;  // the record goes with `record`
    entry* owned = record.release();
    set_text(list_, at, 1, owned->vendor_name);
    set_text(list_, at, 2, owned->channel_summary);
    set_text(list_, at, 3, owned->module_path);
    set_text(list_, at, k_process_column, process_.text(*owned));
}

void manager::destroy_rows() {
    if (!list_) return;
    for (int row = row_count(); row-- > 0;) std::unique_ptr<entry> gone(record_of(row));
    ListView_DeleteAllItems(list_);
}

// The records replace the rows, in order; each row owns its record.
void manager::fill_rows(entry_list records) {
    destroy_rows();
    for (std::size_t i = 0; i < records.size(); ++i) insert_row(static_cast<int>(i), std::move(records[i]));
}

// Shift is also the list view's multi-select key, so an import that finds
// nothing leaves the rows alone rather than empty the page by accident.
void manager::on_import_legacy() {
    entry_list records;
    try {
        import_legacy_list(records);
    } catch (const wchar_t*) {
        records.clear();  // a key that cannot be enumerated holds no usable list
    }
    if (records.empty()) {
        show_popup(k_no_legacy_list, k_title_error, popup_message::icon_information);
        return;
    }
    fill_rows(std::move(records));
    changed_ = true;
    show_switch();
    state_changed();
}

void manager::on_add(bool shift) {
    if (shift) {
        on_import_legacy();
        return;
    }

    const std::wstring path = ask_file_name(hwnd(), false, L"VST plug-in DLL file (*.dll)\0*.dll\0", nullptr);
    if (path.empty()) return;

    std::string stored = wide_to_utf8(stored_module_path(path.c_str(), core_api().is_portable_installation()));
    // A plug-in that is not listed yet has shown nothing of itself: it is
    // checked in a process of its own, so that one that hangs or crashes
    // while it loads costs this page a message, not the player.
    auto checked = std::make_unique<vst>(entry(stored), true, plugin_place::own_process);
    if (!checked->loaded) {
        show_popup(checked->diagnosis, k_title_error, popup_message::icon_error);
        return;
    }
    for (int row = 0, rows = row_count(); row < rows; ++row) {
        const entry* listed = record_of(row);
        if (listed && listed->identifier == checked->identifier) {
            show_popup(k_already_listed, k_title_error, popup_message::icon_information);
            checked.reset();
            const UINT mark = LVIS_SELECTED | LVIS_FOCUSED;
            ListView_SetItemState(list_, row, mark, mark);
            return;
        }
    }
    insert_row(row_count(), std::move(checked));
    changed_ = true;
    show_switch();
    state_changed();
}

void manager::on_remove() {
    if (!list_) return;
    if (ListView_GetNextItem(list_, -1, LVNI_SELECTED) >= 0 && !confirm_removal()) return;
    for (;;) {
        int row = ListView_GetNextItem(list_, -1, LVNI_SELECTED);
        if (row < 0) break;
        std::unique_ptr<entry> record(record_of(row));
        ListView_DeleteItem(list_, row);
        changed_ = true;
    }
    show_switch();
    if (changed_) state_changed();
}

bool manager::confirm_removal() {
    std::vector<const entry*> removed, kept;
    for (int row = 0, rows = row_count(); row < rows; ++row)
        if (const entry* e = record_of(row))
            (ListView_GetItemState(list_, row, LVIS_SELECTED) ? removed : kept).push_back(e);
    dsp_chain_config_impl chain;
    host_service<dsp_config_manager>()->read_chain(chain);
    const std::string warning = removal_warning(chain, removed, kept);
    if (warning.empty()) return true;
    return MessageBoxW(hwnd(), utf8_to_wide(warning).c_str(), utf8_to_wide(k_removal_title).c_str(),
                       MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

void manager::on_own_process() {
    const std::vector<const entry*> selected = records(true);
    const process_column::switch_state now = process_.state_of(selected);
    if (now == process_column::switch_state::none || now == process_column::switch_state::fixed) return;
    process_.choose(selected, now != process_column::switch_state::on);
    for (int row = 0, rows = row_count(); row < rows; ++row)
        if (const entry* e = record_of(row)) set_text(list_, row, k_process_column, process_.text(*e));
    show_switch();
    state_changed();
}

void manager::show_switch() {
    HWND box = GetDlgItem(hwnd(), IDC_OWN_PROCESS);
    WPARAM check = BST_UNCHECKED;
    bool enabled = true;
    switch (process_.state_of(records(true))) {
        case process_column::switch_state::none: enabled = false; break;
        case process_column::switch_state::fixed:
            check = BST_CHECKED;
            enabled = false;
            break;
        case process_column::switch_state::off: break;
        case process_column::switch_state::on: check = BST_CHECKED; break;
        case process_column::switch_state::mixed: check = BST_INDETERMINATE; break;
    }
    SendMessageW(box, BM_SETCHECK, check, 0);
    EnableWindow(box, enabled);
}

void manager::state_changed() {
    if (callback_) callback_->on_state_changed();
}

unsigned manager::get_state() {
    int rows = row_count();
    EnableWindow(GetDlgItem(hwnd(), IDC_ADD), rows < k_max_add_rows);
    EnableWindow(GetDlgItem(hwnd(), IDC_ADD_FOLDER), rows < k_max_add_rows);
    if (changed_) return preferences_state_changed | preferences_state_needs_restart | preferences_state_resettable;
    // A new process choice needs no restart: it applies to the plug-ins
    // loaded from then on.
    return process_.changed() ? preferences_state_changed | preferences_state_resettable : 0;
}

void manager::apply() {
    // Without its window the page has no rows: there is nothing to write,
    // and an empty list would wipe the file.
    if (!list_) return;
    // The rows keep their records; the file gets copies of them.
    entry_list copies;
    for (const entry* e : records(false)) copies.push_back(std::make_unique<entry>(*e));
    const list_save_result saved = save_list(copies);
    process_.apply(records(false));
    if (!saved.saved) show_popup(saved.error, k_title_error, popup_message::icon_error);
}

void manager::reset() {
    entry_list records;
    load_list(records);
    process_.load();
    fill_rows(std::move(records));
    changed_ = false;
    show_switch();
}

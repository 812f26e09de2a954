#include "scan_dialog.h"

#include <commctrl.h>

#include "../Helpers/utf.h"
#include "../Helpers/windowing_calls.h"
#include "../shell/component.h"
#include "../shell/popups.h"
#include "../vst/pe_machine.h"
#include "page_resource.h"

namespace {

// How often the dialog shows the scan's progress.
constexpr UINT_PTR k_tick = 1;
constexpr UINT k_tick_ms = 100;

struct column {
    const wchar_t* header;
    int width;
};
const column k_columns[] = {{L"File", 130}, {L"Arch", 40}, {L"Result", 95}, {L"Product", 110},
                            {L"Vendor", 90}, {L"I/O", 35}, {L"Process", 60}, {L"Details", 400}};
enum { col_file, col_arch, col_result, col_product, col_vendor, col_io, col_process, col_details };

void set_text(HWND list, int row, int col, const std::string& text) {
    std::wstring wide = utf8_to_wide(text);
    ListView_SetItemText(list, row, col, wide.data());
}

void set_control_text(HWND dialog, int id, const std::string& text) {
    SetDlgItemTextW(dialog, id, utf8_to_wide(text).c_str());
}

std::string counted(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

bool described(const scan_file_result& r) {
    return r.kind == scan_kind::effect || r.kind == scan_kind::already_listed;
}

}  // namespace

std::string scan_result_words(const scan_file_result& r) {
    std::string words;
    switch (r.kind) {
        case scan_kind::effect: words = "VST effect"; break;
        case scan_kind::instrument: words = "instrument"; break;
        case scan_kind::not_plugin: words = "not a VST effect"; break;
        case scan_kind::crashed: words = "crashed"; break;
        case scan_kind::hung: words = "hung"; break;
        case scan_kind::not_dll: words = "not a DLL"; break;
        case scan_kind::already_listed: words = "already listed"; break;
        case scan_kind::duplicate: words = "duplicate"; break;
        case scan_kind::unreadable: words = "unreadable"; break;
        case scan_kind::not_checked: words = "not checked"; break;
    }
    return r.remembered ? words + " (remembered)" : words;
}

std::string scan_summary_words(const folder_scan& scan) {
    std::size_t effects = 0, others = 0, remembered = 0, failed = 0;
    for (const scan_file_result& r : scan.results()) {
        if (r.kind == scan_kind::effect) ++effects;
        else if (r.kind == scan_kind::crashed || r.kind == scan_kind::hung) ++failed;
        else ++others;
        if (r.remembered) ++remembered;
    }
    const std::size_t n = scan.results().size();
    std::string text = scan.cancelled() ? "Cancelled: " : "Done: ";
    if (n == 0) return text + "no DLLs in this folder.";
    text += counted(n, "DLL", "DLLs") + ", " + counted(effects, "effect", "effects") + " that can be added";
    if (failed) text += ", " + std::to_string(failed) + " crashed or hung";
    if (remembered) text += ", " + std::to_string(remembered) + " remembered from an earlier scan";
    if (!scan.notes().empty()) text += ". " + scan.notes().front();
    return text + (scan.notes().empty() ? "." : "");
}

scan_dialog::scan_dialog(setup s) : setup_(std::move(s)) {}

scan_dialog::~scan_dialog() = default;

std::vector<entry> scan_dialog::run(HWND parent) {
    // The progress bar and the list are common controls: their classes must
    // exist before the dialog is made.
    const init_common_controls_function init = g_init_common_controls.get();
    if (!init) {
        show_popup("Cannot show the scan: " + g_init_common_controls.failure() + ".", k_title_error,
                   popup_message::icon_error);
        return {};
    }
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
    init(&icc);
    chosen_.clear();
    run_modal(component_instance(), IDD_SCAN_FOLDER, parent);
    scan_.reset();
    return std::move(chosen_);
}

bool scan_dialog::on_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
    switch (message) {
        case WM_INITDIALOG:
            on_init();
            result = TRUE;
            return true;
        case WM_TIMER:
            if (wparam != k_tick) return false;
            on_tick();
            result = 0;
            return true;
        case WM_COMMAND:
            if (HIWORD(wparam) != BN_CLICKED) return false;
            switch (LOWORD(wparam)) {
                case IDOK: on_ok(); break;
                case IDCANCEL: on_cancel(); break;
                case IDC_SCAN_AGAIN: start_scan(); break;
                default: return false;
            }
            result = 0;
            return true;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lparam);
            if (header->idFrom == IDC_SCAN_RESULTS && header->code == LVN_ITEMCHANGED) {
                const auto* change = reinterpret_cast<const NMLISTVIEW*>(lparam);
                if ((change->uChanged & LVIF_STATE) && (change->uNewState & LVIS_SELECTED)) show_detail(change->iItem);
                return false;
            }
            if (header->idFrom != IDC_SCAN_RESULTS || header->code != LVN_ITEMCHANGING) return false;
            // Only effects that can be added take a check mark.
            const auto* change = reinterpret_cast<const NMLISTVIEW*>(lparam);
            const bool check_change = (change->uChanged & LVIF_STATE) &&
                                      ((change->uNewState ^ change->uOldState) & LVIS_STATEIMAGEMASK);
            result = check_change && !addable(change->iItem) && (change->uNewState & LVIS_STATEIMAGEMASK) ? TRUE : FALSE;
            return true;
        }
        case WM_DESTROY:
            KillTimer(hwnd(), k_tick);
            return false;
        default:
            return false;
    }
}

void scan_dialog::on_init() {
    list_ = GetDlgItem(hwnd(), IDC_SCAN_RESULTS);
    ListView_SetExtendedListViewStyle(list_, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP |
                                                 LVS_EX_DOUBLEBUFFER);
    int index = 0;
    for (const column& c : k_columns) {
        LVCOLUMNW col{};
        col.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH;
        col.fmt = LVCFMT_LEFT;
        col.pszText = const_cast<wchar_t*>(c.header);
        col.cx = c.width;
        ListView_InsertColumn(list_, index++, &col);
    }
    SetDlgItemTextW(hwnd(), IDC_SCAN_FOLDER, setup_.folder.c_str());
    CheckDlgButton(hwnd(), IDC_SCAN_SUBFOLDERS, BST_CHECKED);
    start_scan();
}

void scan_dialog::enable_choices(bool enable) {
    for (int id : {IDC_SCAN_SUBFOLDERS, IDC_SCAN_RESCAN, IDC_SCAN_AGAIN}) EnableWindow(GetDlgItem(hwnd(), id), enable);
}

void scan_dialog::start_scan() {
    if (scanning_) return;
    ListView_DeleteAllItems(list_);
    set_control_text(hwnd(), IDC_SCAN_DETAIL, "");
    scan_request request;
    request.folder = setup_.folder;
    request.recursive = IsDlgButtonChecked(hwnd(), IDC_SCAN_SUBFOLDERS) == BST_CHECKED;
    request.rescan = IsDlgButtonChecked(hwnd(), IDC_SCAN_RESCAN) == BST_CHECKED;
    request.listed = setup_.listed;
    scan_.reset();  // the one before, if any, is over
    scan_ = std::make_unique<folder_scan>(std::move(request));
    scanning_ = true;
    stopping_ = false;
    enable_choices(false);
    EnableWindow(GetDlgItem(hwnd(), IDOK), FALSE);
    SendDlgItemMessageW(hwnd(), IDC_SCAN_PROGRESS, PBM_SETPOS, 0, 0);
    set_control_text(hwnd(), IDC_SCAN_STATUS, "Looking for DLLs...");
    SetTimer(hwnd(), k_tick, k_tick_ms, nullptr);
}

void scan_dialog::on_tick() {
    if (!scan_) return;
    if (scan_->wait(0)) {
        KillTimer(hwnd(), k_tick);
        show_results();
        return;
    }
    const scan_progress p = scan_->progress();
    if (stopping_) return;
    if (p.now == scan_progress::stage::looking) {
        set_control_text(hwnd(), IDC_SCAN_STATUS, "Looking for DLLs: " + std::to_string(p.found) + " found");
        return;
    }
    SendDlgItemMessageW(hwnd(), IDC_SCAN_PROGRESS, PBM_SETRANGE32, 0, static_cast<LPARAM>(p.found));
    SendDlgItemMessageW(hwnd(), IDC_SCAN_PROGRESS, PBM_SETPOS, p.done, 0);
    std::string status = "Checking " + std::to_string(p.done + 1 > p.found ? p.found : p.done + 1) + " of " +
                         std::to_string(p.found);
    if (!p.loading.empty()) status += ": " + p.loading.front();
    set_control_text(hwnd(), IDC_SCAN_STATUS, status);
}

void scan_dialog::show_results() {
    scanning_ = false;
    stopping_ = false;
    if (!scan_->problem().empty()) {
        set_control_text(hwnd(), IDC_SCAN_STATUS, scan_->problem());
        enable_choices(true);
        return;
    }
    const std::vector<scan_file_result>& results = scan_->results();
    SendDlgItemMessageW(hwnd(), IDC_SCAN_PROGRESS, PBM_SETRANGE32, 0, static_cast<LPARAM>(results.size()));
    SendDlgItemMessageW(hwnd(), IDC_SCAN_PROGRESS, PBM_SETPOS, results.size(), 0);
    std::size_t checked = 0;
    for (std::size_t i = 0; i < results.size(); ++i) {
        const scan_file_result& r = results[i];
        std::wstring file = utf8_to_wide(r.shown);
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = static_cast<int>(i);
        item.pszText = file.data();
        item.lParam = static_cast<LPARAM>(i);
        const int row = ListView_InsertItem(list_, &item);
        if (row < 0) continue;
        set_text(list_, row, col_result, scan_result_words(r));
        if (described(r)) {
            set_text(list_, row, col_product, r.plugin.product_name);
            set_text(list_, row, col_vendor, r.plugin.vendor_name);
            set_text(list_, row, col_io, r.plugin.channel_summary);
            if (setup_.process_text) set_text(list_, row, col_process, setup_.process_text(r.plugin));
        }
        set_text(list_, row, col_arch, r.machine ? machine_name(r.machine) : "-");
        set_text(list_, row, col_details, r.detail);
        // No check box but on effects that can be added; the first that fit
        // the list are checked.
        const bool can_add = r.kind == scan_kind::effect;
        const bool check = can_add && checked < setup_.room;
        if (check) ++checked;
        ListView_SetItemState(list_, row, INDEXTOSTATEIMAGEMASK(can_add ? (check ? 2 : 1) : 0), LVIS_STATEIMAGEMASK);
    }
    set_control_text(hwnd(), IDC_SCAN_STATUS, scan_summary_words(*scan_));
    enable_choices(true);
    EnableWindow(GetDlgItem(hwnd(), IDOK), TRUE);
}

// The whole of what the list shows of a file, whose columns a long path or
// diagnosis runs past.
void scan_dialog::show_detail(int row) {
    if (!scan_ || scanning_ || row < 0 || static_cast<std::size_t>(row) >= scan_->results().size()) return;
    const scan_file_result& r = scan_->results()[static_cast<std::size_t>(row)];
    std::string text = wide_to_utf8(r.file.path) + "\r\n";
    if (described(r))
        text += r.plugin.product_name + " by " + r.plugin.vendor_name + ", " + r.plugin.channel_summary + "." +
                (r.detail.empty() ? "" : " " + r.detail);
    else
        text += r.detail;
    set_control_text(hwnd(), IDC_SCAN_DETAIL, text);
}

bool scan_dialog::addable(int row) const {
    if (!scan_ || scanning_ || row < 0 || static_cast<std::size_t>(row) >= scan_->results().size()) return false;
    return scan_->results()[static_cast<std::size_t>(row)].kind == scan_kind::effect;
}

void scan_dialog::on_cancel() {
    if (!scanning_) {
        end_modal(IDCANCEL);
        return;
    }
    if (stopping_) return;
    stopping_ = true;
    scan_->cancel();
    set_control_text(hwnd(), IDC_SCAN_STATUS, "Stopping: the DLLs being checked finish first...");
}

void scan_dialog::on_ok() {
    if (scanning_ || !scan_) return;
    const std::vector<scan_file_result>& results = scan_->results();
    for (int row = 0, rows = ListView_GetItemCount(list_); row < rows; ++row)
        if (addable(row) && ListView_GetCheckState(list_, row)) chosen_.push_back(results[static_cast<std::size_t>(row)].plugin);
    end_modal(IDOK);
}

#include "page_driver.h"

#include <commctrl.h>
#include <shlobj.h>

#include <atomic>
#include <thread>

#include "../../Helpers/utf.h"
#include "window_probe.h"

namespace {

const int k_add = 1005;

struct dialog_search {
    HWND owner;
    HWND found;
};

BOOL CALLBACK find_file_dialog(HWND wnd, LPARAM param) {
    auto* s = reinterpret_cast<dialog_search*>(param);
    wchar_t cls[32] = {};
    GetClassNameW(wnd, cls, 32);
    if (std::wstring(cls) == L"#32770" && GetWindow(wnd, GW_OWNER) == s->owner && IsWindowVisible(wnd)) {
        s->found = wnd;
        return FALSE;
    }
    return TRUE;
}

// The longest static text of a message box: its message.
BOOL CALLBACK longest_static(HWND wnd, LPARAM param) {
    auto* text = reinterpret_cast<std::wstring*>(param);
    wchar_t cls[32] = {};
    GetClassNameW(wnd, cls, 32);
    if (lstrcmpiW(cls, L"Static") != 0) return TRUE;
    wchar_t buf[2048] = {};
    GetWindowTextW(wnd, buf, 2048);
    if (std::wstring(buf).size() > text->size()) *text = buf;
    return TRUE;
}

}  // namespace

HWND page_driver::list() const { return GetDlgItem(page_, 1004); }

std::vector<row_texts> page_driver::rows() const {
    std::vector<row_texts> out(static_cast<std::size_t>(ListView_GetItemCount(list())));
    for (int c = 0; c < 4; ++c) {
        const std::vector<std::string> texts = column(c);
        for (std::size_t r = 0; r < out.size(); ++r) out[r].push_back(texts[r]);
    }
    return out;
}

std::vector<std::string> page_driver::column(int index) const {
    std::vector<std::string> out;
    const int n = ListView_GetItemCount(list());
    for (int r = 0; r < n; ++r) {
        wchar_t text[520] = {};
        ListView_GetItemText(list(), r, index, text, 520);
        out.push_back(wide_to_utf8(text));
    }
    return out;
}

std::vector<int> page_driver::selected_rows() const {
    std::vector<int> out;
    for (int r = ListView_GetNextItem(list(), -1, LVNI_SELECTED); r >= 0; r = ListView_GetNextItem(list(), r, LVNI_SELECTED))
        out.push_back(r);
    return out;
}

int page_driver::focused_row() const { return ListView_GetNextItem(list(), -1, LVNI_FOCUSED); }

void page_driver::select(const std::vector<int>& rows) const {
    ListView_SetItemState(list(), -1, 0, LVIS_SELECTED);
    for (int r : rows) ListView_SetItemState(list(), r, LVIS_SELECTED, LVIS_SELECTED);
}

void page_driver::click(int id, bool shift) const {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    BYTE saved = keys[VK_SHIFT];
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys);
    SendMessageW(page_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control(id)));
    keys[VK_SHIFT] = saved;
    SetKeyboardState(keys);
}

page_driver::message_box page_driver::click_answering(int id, int answer) const {
    message_box seen;
    std::atomic<bool> done{false};
    HWND owner = GetAncestor(page_, GA_ROOT);
    std::thread answerer([&] {
        while (!done) {
            HWND box = find_owned_dialog(owner);
            if (!box) {
                Sleep(20);
                continue;
            }
            wchar_t title[256] = {};
            GetWindowTextW(box, title, 256);
            std::wstring text;
            EnumChildWindows(box, longest_static, reinterpret_cast<LPARAM>(&text));
            seen = {true, wide_to_utf8(title), wide_to_utf8(text)};
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
            return;
        }
    });
    click(id);
    done = true;
    answerer.join();
    return seen;
}

bool page_driver::add(const std::wstring& path) const {
    std::atomic<bool> seen{false}, done{false};
    HWND owner = GetAncestor(page_, GA_ROOT);
    std::thread answer([&] {
        while (!done && !seen) {
            dialog_search s{owner, nullptr};
            EnumThreadWindows(GetWindowThreadProcessId(owner, nullptr), find_file_dialog, reinterpret_cast<LPARAM>(&s));
            if (!s.found) {
                Sleep(50);
                continue;
            }
            seen = true;
            answer_file_dialog(s.found, path);
        }
    });
    click(k_add);
    done = true;
    answer.join();
    return seen;
}

namespace {

const int k_add_folder = 1013;
const wchar_t k_scan_title[] = L"Add VST plug-ins from a folder";

HWND tree_of(HWND dialog) { return FindWindowExW(dialog, nullptr, L"SysTreeView32", nullptr); }

std::wstring selected_name(HWND tree) {
    wchar_t text[MAX_PATH] = {};
    TVITEMW item{};
    item.mask = TVIF_TEXT;
    item.hItem = TreeView_GetSelection(tree);
    item.pszText = text;
    item.cchTextMax = MAX_PATH;
    if (!item.hItem || !TreeView_GetItem(tree, &item)) return {};
    return text;
}

// The chooser takes a selection only once it has filled its tree: the
// folder is chosen again until the tree shows it selected.
bool choose_in(HWND chooser, const std::wstring& folder) {
    const std::wstring leaf = folder.substr(folder.find_last_of(L'\\') + 1);
    return wait_until(
        [&] {
            SendMessageW(chooser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(folder.c_str()));
            return lstrcmpiW(selected_name(tree_of(chooser)).c_str(), leaf.c_str()) == 0;
        },
        30000);
}

}  // namespace

bool page_driver::add_folder(const std::wstring& folder, const std::function<void(HWND dialog)>& in_dialog) const {
    std::atomic<bool> seen{false}, done{false};
    HWND owner = GetAncestor(page_, GA_ROOT);
    std::thread answer([&] {
        HWND chooser = nullptr;
        while (!done && !(chooser = find_owned_dialog(owner))) Sleep(50);
        if (!chooser || !wait_until([&] { return tree_of(chooser) != nullptr; }, 30000)) return;
        seen = true;
        if (folder.empty() || !choose_in(chooser, folder)) {
            PostMessageW(chooser, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            return;
        }
        PostMessageW(chooser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        HWND dialog = nullptr;
        wait_until([&] { return done || (dialog = find_dialog(k_scan_title)) != nullptr; }, 30000);
        if (dialog) in_dialog(dialog);
    });
    click(k_add_folder);
    done = true;
    answer.join();
    return seen;
}

std::string scan_dialog_driver::status() const { return wide_to_utf8(window_text(control(1103))); }

bool scan_dialog_driver::wait_until_over(int timeout_ms) const {
    return wait_until(
        [&] {
            const std::string s = status();
            return s.rfind("Done", 0) == 0 || s.rfind("Cancelled", 0) == 0;
        },
        timeout_ms);
}

std::vector<row_texts> scan_dialog_driver::rows() const {
    HWND list = control(1104);
    std::vector<row_texts> out;
    for (int r = 0, n = ListView_GetItemCount(list); r < n; ++r) {
        row_texts row;
        for (int c : {0, 2, 7}) {
            wchar_t text[520] = {};
            ListView_GetItemText(list, r, c, text, 520);
            row.push_back(wide_to_utf8(text));
        }
        out.push_back(row);
    }
    return out;
}

std::vector<int> scan_dialog_driver::checks() const {
    HWND list = control(1104);
    std::vector<int> out;
    for (int r = 0, n = ListView_GetItemCount(list); r < n; ++r) {
        const UINT image = (ListView_GetItemState(list, r, LVIS_STATEIMAGEMASK) & LVIS_STATEIMAGEMASK) >> 12;
        out.push_back(static_cast<int>(image) - 1);
    }
    return out;
}

void scan_dialog_driver::set_check(int row, bool checked) const { ListView_SetCheckState(control(1104), row, checked); }

void scan_dialog_driver::select(int row) const {
    const UINT mark = LVIS_SELECTED | LVIS_FOCUSED;
    ListView_SetItemState(control(1104), row, mark, mark);
}

void scan_dialog_driver::click(int id) const {
    PostMessageW(dialog_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control(id)));
}

HWND make_page_parent() {
    return CreateWindowExW(0, L"STATIC", L"Preferences", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 700, 700,
                           nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

void init_common_controls() {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
}

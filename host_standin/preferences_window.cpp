#include "preferences_window.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "../Helpers/utf.h"
#include "../Helpers/windowing_calls.h"
#include "../host/exceptions.h"

namespace {

const wchar_t k_class[] = L"VelmoraStandInPreferences";
const wchar_t k_restart_note[] = L"Some changes take effect only after the player restarts.";
// The player's own branch that component pages hang under; the stand-in
// shows it as a node of its own.
constexpr GUID k_tools_branch = {0x0E966267, 0x7DFB, 0x433B, {0xA0, 0x7C, 0x3F, 0x8C, 0xDD, 0x31, 0xA2, 0x58}};

bool same(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

class preferences_window::callback final : public preferences_page_callback {
public:
    explicit callback(preferences_window& owner) : owner_(owner) {}
    int add_ref() noexcept override { return 1; }
    int release() noexcept override { return 1; }
    bool query(service_base*& out, const GUID& guid) override {
        return answer_query<callback, preferences_page_callback>(this, out, guid);
    }
    void on_state_changed() override { owner_.refresh_state(); }

private:
    preferences_window& owner_;
};

preferences_window::preferences_window(component_host& host, HWND owner)
    : host_(host), owner_(owner), callback_(std::make_unique<callback>(*this)) {
    // The tree view below and the pages' list views need their classes.
    const init_common_controls_function init_common_controls = g_init_common_controls.get();
    if (!init_common_controls)
        throw host_exception("Cannot create the preferences window: " + g_init_common_controls.failure());
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_STANDARD_CLASSES};
    init_common_controls(&icc);
    WNDCLASSW wc{};
    wc.lpfnWndProc = window_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = k_class;
    RegisterClassW(&wc);  // fails harmlessly when already registered

    wnd_ = CreateWindowExW(WS_EX_DLGMODALFRAME, k_class, L"Preferences", WS_CAPTION | WS_SYSMENU | WS_VISIBLE,
                           80, 80, 800, 560, owner, nullptr, GetModuleHandleW(nullptr), this);
    if (!wnd_) throw host_exception("Cannot create the preferences window");
    HINSTANCE self = GetModuleHandleW(nullptr);
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    auto child = [&](const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w, int h, int id) {
        HWND c = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, wnd_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), self, nullptr);
        SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        return c;
    };
    tree_ = child(WC_TREEVIEWW, L"", WS_BORDER | WS_TABSTOP | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                  8, 8, 200, 470, id_tree);
    child(L"STATIC", k_restart_note, SS_LEFT, 216, 490, 330, 20, id_note);
    child(L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 550, 486, 70, 24, id_ok);
    child(L"BUTTON", L"Cancel", BS_PUSHBUTTON | WS_TABSTOP, 626, 486, 70, 24, id_cancel);
    child(L"BUTTON", L"Apply", BS_PUSHBUTTON | WS_TABSTOP, 702, 486, 70, 24, id_apply);
    build_tree();
    refresh_state();
    if (owner_) EnableWindow(owner_, FALSE);
}

preferences_window::~preferences_window() {
    instance_.reset();
    if (owner_) EnableWindow(owner_, TRUE);
    if (wnd_) {
        SetWindowLongPtrW(wnd_, GWLP_USERDATA, 0);
        DestroyWindow(wnd_);
    }
}

void preferences_window::build_tree() {
    for (auto& p : host_.services<preferences_page>()) {
        service_ptr_t<preferences_page_v3> v3;
        if (!p.query_as(v3)) continue;
        string8 name;
        v3->get_name(name);
        pages_.push_back({v3, v3->get_guid(), v3->get_parent_guid(), name.str(), v3->get_sort_priority()});
    }
    std::stable_sort(pages_.begin(), pages_.end(), [](const page_info& a, const page_info& b) {
        return a.priority != b.priority ? a.priority < b.priority : a.name < b.name;
    });

    auto insert = [&](HTREEITEM parent, const std::string& name, LPARAM data) {
        std::wstring text = utf8_to_wide(name);
        TVINSERTSTRUCTW tvi{};
        tvi.hParent = parent;
        tvi.hInsertAfter = TVI_LAST;
        tvi.item.mask = TVIF_TEXT | TVIF_PARAM;
        tvi.item.pszText = text.data();
        tvi.item.lParam = data;
        return reinterpret_cast<HTREEITEM>(SendMessageW(tree_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&tvi)));
    };
    // Pages under `parent`, then their own children; pages whose parent is
    // no registered page go under the player's branch.
    std::function<void(HTREEITEM, const GUID&)> add_children = [&](HTREEITEM item, const GUID& parent) {
        for (std::size_t i = 0; i < pages_.size(); ++i)
            if (same(pages_[i].parent, parent)) {
                HTREEITEM node = insert(item, pages_[i].name, static_cast<LPARAM>(i + 1));
                pages_[i].item = node;
                add_children(node, pages_[i].guid);
                SendMessageW(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(node));
            }
    };
    HTREEITEM tools = insert(TVI_ROOT, "Tools", 0);
    add_children(tools, k_tools_branch);
    for (std::size_t i = 0; i < pages_.size(); ++i) {
        bool parent_known = same(pages_[i].parent, k_tools_branch);
        for (const page_info& other : pages_) parent_known = parent_known || same(other.guid, pages_[i].parent);
        if (!parent_known) {
            HTREEITEM node = insert(tools, pages_[i].name, static_cast<LPARAM>(i + 1));
            pages_[i].item = node;
            add_children(node, pages_[i].guid);
        }
    }
    SendMessageW(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(tools));
}

std::vector<std::string> preferences_window::tree_lines() const {
    std::vector<std::string> out;
    std::function<void(HTREEITEM, int)> walk = [&](HTREEITEM item, int depth) {
        for (; item; item = reinterpret_cast<HTREEITEM>(
                         SendMessageW(tree_, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
            wchar_t text[256] = {};
            TVITEMW tvi{};
            tvi.mask = TVIF_TEXT;
            tvi.hItem = item;
            tvi.pszText = text;
            tvi.cchTextMax = 256;
            SendMessageW(tree_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tvi));
            out.push_back(std::string(static_cast<std::size_t>(depth) * 2, ' ') + wide_to_utf8(text));
            walk(reinterpret_cast<HTREEITEM>(
                     SendMessageW(tree_, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item))),
                 depth + 1);
        }
    };
    walk(reinterpret_cast<HTREEITEM>(SendMessageW(tree_, TVM_GETNEXTITEM, TVGN_ROOT, 0)), 0);
    return out;
}

bool preferences_window::show_page(const GUID& guid) {
    auto found = std::find_if(pages_.begin(), pages_.end(), [&](const page_info& p) { return same(p.guid, guid); });
    if (found == pages_.end()) return false;
    if (instance_ && same(shown_, guid)) return true;
    instance_.reset();
    shown_ = guid;
    instance_ = found->page->instantiate(wnd_, callback_.get());
    HWND page = instance_->get_wnd();
    SetWindowPos(page, nullptr, 216, 8, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ShowWindow(page, SW_SHOW);
    // The tree follows; its notification finds the page already shown.
    SendMessageW(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(found->item));
    refresh_state();
    return true;
}

void preferences_window::refresh_state() {
    unsigned state = instance_ ? instance_->get_state() : 0;
    EnableWindow(GetDlgItem(wnd_, id_apply), (state & preferences_state_changed) != 0);
    ShowWindow(GetDlgItem(wnd_, id_note), (state & preferences_state_needs_restart) ? SW_SHOW : SW_HIDE);
}

void preferences_window::apply() {
    if (!instance_) return;
    unsigned state = instance_->get_state();
    if (!(state & preferences_state_changed)) return;
    instance_->apply();
    outcome_.applied = true;
    if (state & preferences_state_needs_restart) outcome_.needs_restart = true;
    refresh_state();
}

void preferences_window::close() {
    closed_ = true;
    ShowWindow(wnd_, SW_HIDE);
}

LRESULT CALLBACK preferences_window::window_proc(HWND wnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lparam);
        SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<preferences_window*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
    if (self && self->wnd_ == wnd) return self->on_message(message, wparam, lparam);
    return DefWindowProcW(wnd, message, wparam, lparam);
}

LRESULT preferences_window::on_message(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_COMMAND:
            switch (LOWORD(wparam)) {
                case id_ok:
                    apply();
                    close();
                    return 0;
                case id_cancel:
                    close();
                    return 0;
                case id_apply:
                    apply();
                    return 0;
            }
            break;
        case WM_NOTIFY: {
            auto* hdr = reinterpret_cast<NMHDR*>(lparam);
            if (hdr->idFrom == static_cast<UINT_PTR>(id_tree) && hdr->code == TVN_SELCHANGEDW) {
                LPARAM data = reinterpret_cast<NMTREEVIEWW*>(lparam)->itemNew.lParam;
                if (data > 0 && static_cast<std::size_t>(data) <= pages_.size())
                    show_page(pages_[static_cast<std::size_t>(data) - 1].guid);
                return 0;
            }
            break;
        }
        case WM_CLOSE:
            close();
            return 0;
    }
    return DefWindowProcW(wnd_, message, wparam, lparam);
}

preferences_outcome run_preferences_window(component_host& host, HWND owner, const GUID* page) {
    preferences_window window(host, owner);
    if (page) {
        if (!window.show_page(*page)) throw host_exception("The preferences page asked for is not registered");
    } else {
        for (auto& p : host.services<preferences_page>())
            if (window.show_page(p->get_guid())) break;
    }
    MSG msg;
    while (!window.closed() && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(window.hwnd(), &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return window.outcome();
}

#include "player_window.h"

#include <chrono>

#include "../Helpers/utf.h"
#include "../host/dsp.h"
#include "../host/service_lookup.h"

namespace {

const wchar_t k_class[] = L"VelmoraStandInMain";
constexpr UINT k_pump_queue = WM_APP + 1;
constexpr UINT k_chain_changed = WM_APP + 2;
constexpr UINT k_first_command = 1000;
constexpr UINT k_last_command = 60000;
constexpr int k_close_wait_ms = 10000;

HMENU owned_popup(HMENU parent, const wchar_t* text) {
    HMENU popup = CreatePopupMenu();
    AppendMenuW(parent, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup), text);
    return popup;
}

struct open_window_search {
    HWND self;
    bool found;
};

// Asks every other visible top-level window of this process to close.
BOOL CALLBACK close_if_open(HWND w, LPARAM p) {
    auto* s = reinterpret_cast<open_window_search*>(p);
    DWORD process = 0;
    GetWindowThreadProcessId(w, &process);
    if (process == GetCurrentProcessId() && w != s->self && IsWindowVisible(w)) {
        PostMessageW(w, WM_CLOSE, 0, 0);
        s->found = true;
    }
    return TRUE;
}

}  // namespace

player_window::player_window(velmora_api& api, dsp_chain_store& chain, main_thread_queue& queue)
    : api_(api), chain_(chain), queue_(queue) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = window_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = k_class;
    RegisterClassW(&wc);  // fails harmlessly when already registered
    // Without a display there is no window; the players' callers check.
    window_.reset(CreateWindowExW(0, k_class, L"Velmora", WS_OVERLAPPEDWINDOW, 100, 100, 640, 480, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), this));
    if (!window_) return;
    chain_view_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOINTEGRALHEIGHT,
                                  0, 0, 0, 0, hwnd(), nullptr, GetModuleHandleW(nullptr), nullptr);
    build_menu_bar();
    HWND self = hwnd();
    chain_.add_listener([self](const dsp_chain_config&) { PostMessageW(self, k_chain_changed, 0, 0); });
    queue_.set_wake([self] { PostMessageW(self, k_pump_queue, 0, 0); });
}

player_window::~player_window() {
    queue_.set_wake(nullptr);
    detach_component();
}

void player_window::set_preferences_handler(std::function<void(HWND)> handler) {
    preferences_ = std::move(handler);
    build_menu_bar();
}

void player_window::attach_component() {
    groups_.clear();
    for_each_service<mainmenu_group>(api_, [&](service_ptr_t<mainmenu_group> g) {
        service_ptr_t<mainmenu_group_popup> popup;
        if (g.query_as(popup)) groups_.push_back(popup);
        return true;
    });
    build_menu_bar();
    refresh_chain_view();
}

void player_window::detach_component() {
    groups_.clear();
    commands_.clear();
    build_menu_bar();
}

void player_window::build_menu_bar() {
    if (!window_) return;
    commands_.clear();
    popup_groups_.clear();
    HMENU bar = CreateMenu();
    HMENU file = owned_popup(bar, L"&File");
    AppendMenuW(file, MF_STRING | (preferences_ ? 0 : MF_GRAYED), k_menu_preferences, L"&Preferences...");
    AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(file, MF_STRING, k_menu_exit, L"E&xit");
    HMENU playback = owned_popup(bar, L"&Playback");
    popup_groups_[playback] = k_playback_menu_group;
    add_groups(playback, k_playback_menu_group);
    HMENU old = GetMenu(hwnd());
    SetMenu(hwnd(), bar);
    if (old) DestroyMenu(old);
}

// Groups in sort order under `parent`; each becomes a submenu whose
// commands are asked for when it opens.
void player_window::add_groups(HMENU menu, const GUID& parent) {
    std::multimap<std::uint32_t, mainmenu_group_popup*> sorted;
    for (auto& g : groups_)
        if (g->get_parent() == parent) sorted.emplace(g->get_sort_priority(), g.get());
    for (auto& [priority, g] : sorted) {
        string8 name;
        g->get_display_string(name);
        HMENU popup = owned_popup(menu, utf8_to_wide(name.str()).c_str());
        popup_groups_[popup] = g->get_guid();
        add_groups(popup, g->get_guid());
    }
}

void player_window::fill_commands(HMENU popup) {
    auto group = popup_groups_.find(popup);
    if (group == popup_groups_.end()) return;
    // Commands are rebuilt on each opening; submenus of groups stay.
    for (int i = GetMenuItemCount(popup) - 1; i >= 0; --i) {
        if (GetSubMenu(popup, i)) continue;
        commands_.erase(GetMenuItemID(popup, i));
        DeleteMenu(popup, static_cast<UINT>(i), MF_BYPOSITION);
    }
    for_each_service<mainmenu_commands>(api_, [&](service_ptr_t<mainmenu_commands> set) {
        if (set->get_parent() != group->second) return true;
        const std::uint32_t count = set->get_command_count();
        for (std::uint32_t i = 0; i < count; ++i) {
            string8 text;
            set->get_name(i, text);
            std::uint32_t flags = 0;
            if (!set->get_display(i, text, flags)) continue;
            UINT state = MF_STRING;
            if (flags & mainmenu_commands::flag_disabled) state |= MF_GRAYED;
            if (flags & mainmenu_commands::flag_checked) state |= MF_CHECKED;
            // Identifiers must fit the 16 bits of a menu command.
            if (next_command_id_ >= k_last_command) next_command_id_ = k_first_command;
            AppendMenuW(popup, state, next_command_id_, utf8_to_wide(text.str()).c_str());
            commands_[next_command_id_++] = {set, i};
        }
        return true;
    });
}

void player_window::refresh_chain_view() {
    if (!chain_view_) return;
    SendMessageW(chain_view_, LB_RESETCONTENT, 0, 0);
    dsp_chain_config_impl chain;
    chain_.read_chain(chain);
    for (std::size_t i = 0; i < chain.get_count(); ++i) {
        std::string name = "(unknown DSP)";
        for_each_service<dsp_entry>(api_, [&](service_ptr_t<dsp_entry> e) {
            if (e->get_guid() != chain.get_item(i).get_owner()) return true;
            string8 n;
            e->get_name(n);
            name = n.str();
            return false;
        });
        std::wstring line = std::to_wstring(i + 1) + L"  " + utf8_to_wide(name);
        SendMessageW(chain_view_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    }
}

void player_window::run() {
    if (!window_) return;
    refresh_chain_view();
    ShowWindow(hwnd(), SW_SHOWNORMAL);
    UpdateWindow(hwnd());
    closing_ = false;
    MSG msg;
    while (!closing_ && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    ShowWindow(hwnd(), SW_HIDE);
    close_other_dialogs();
}

// Editors opened from the menu run on threads of their own; each reports
// when it closes, and that report waits for the main thread to run the
// chain edit queued before it.
void player_window::close_other_dialogs() {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(k_close_wait_ms);
    for (;;) {
        open_window_search s{hwnd(), false};
        EnumWindows(close_if_open, reinterpret_cast<LPARAM>(&s));
        queue_.pump_wait(std::chrono::milliseconds(50));
        if (!s.found || std::chrono::steady_clock::now() > end) break;
    }
    queue_.pump();
}

LRESULT CALLBACK player_window::window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams));
    auto* self = reinterpret_cast<player_window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self || !self->window_) return DefWindowProcW(hwnd, message, wparam, lparam);
    return self->on_message(message, wparam, lparam);
}

LRESULT player_window::on_message(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case k_pump_queue: queue_.pump(); return 0;
        case k_chain_changed: refresh_chain_view(); return 0;
        case WM_SIZE:
            if (chain_view_) MoveWindow(chain_view_, 0, 0, LOWORD(lparam), HIWORD(lparam), TRUE);
            return 0;
        case WM_INITMENUPOPUP:
            fill_commands(reinterpret_cast<HMENU>(wparam));
            return 0;
        case WM_COMMAND: {
            const UINT id = LOWORD(wparam);
            if (id == k_menu_preferences && preferences_) preferences_(hwnd());
            else if (id == k_menu_exit) PostMessageW(hwnd(), WM_CLOSE, 0, 0);
            else if (auto found = commands_.find(id); found != commands_.end())
                found->second.commands->execute(found->second.index, nullptr);
            return 0;
        }
        case WM_CLOSE:
            closing_ = true;
            PostMessageW(hwnd(), k_pump_queue, 0, 0);  // wakes the loop to see it
            return 0;
        default: return DefWindowProcW(hwnd(), message, wparam, lparam);
    }
}

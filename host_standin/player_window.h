#pragma once
// The player's main window: a menu bar of its own top-level menus and of
// the groups and commands that components register into them, and a view
// of the playback chain. Main thread only.
#include <windows.h>

#include <functional>
#include <map>
#include <vector>

#include "../Helpers/win32_handles.h"
#include "../host/api.h"
#include "../host/mainmenu.h"
#include "dsp_chain_store.h"
#include "main_thread_queue.h"

// The predefined group of the top-level "Playback" menu; components hang
// their own groups under it.
inline constexpr GUID k_playback_menu_group = {0xF8BE5604, 0x165F, 0x4BB9,
                                               {0xB6, 0xA9, 0x15, 0xE5, 0x5E, 0x0E, 0x0D, 0x3A}};
inline constexpr UINT k_menu_preferences = 100;
inline constexpr UINT k_menu_exit = 101;

class player_window {
public:
    player_window(velmora_api& api, dsp_chain_store& chain, main_thread_queue& queue);
    ~player_window();
    player_window(const player_window&) = delete;
    player_window& operator=(const player_window&) = delete;

    HWND hwnd() const { return window_.get(); }
    // "File" > "Preferences..." calls this; greyed while none is set.
    void set_preferences_handler(std::function<void(HWND)> handler);
    // Builds the menu bar from the registered groups; `detach` drops them.
    void attach_component();
    void detach_component();

    // Shows the window and runs its messages, and the queued main-thread
    // work, until the user closes it. Dialogs still open on other threads
    // are then closed and their work run before it returns.
    void run();

private:
    struct command_ref {
        service_ptr_t<mainmenu_commands> commands;
        std::uint32_t index;
    };
    static LRESULT CALLBACK window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT on_message(UINT message, WPARAM wparam, LPARAM lparam);
    void build_menu_bar();
    void add_groups(HMENU menu, const GUID& parent);
    void fill_commands(HMENU popup);
    void refresh_chain_view();
    void close_other_dialogs();

    velmora_api& api_;
    dsp_chain_store& chain_;
    main_thread_queue& queue_;
    unique_hwnd window_;
    HWND chain_view_ = nullptr;
    std::function<void(HWND)> preferences_;
    std::vector<service_ptr_t<mainmenu_group_popup>> groups_;
    std::map<HMENU, GUID> popup_groups_;  // which group each submenu shows
    std::map<UINT, command_ref> commands_;
    bool closing_ = false;
    UINT next_command_id_ = 1000;
};

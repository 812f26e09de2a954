#pragma once
// The player's preferences window as the stand-in shows it: the registered
// pages in a tree by parent and sort order, the chosen page's instance on the
// right, and OK / Cancel / Apply that follow the page's state.
#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "../host/preferences_page.h"
#include "component_host.h"

struct preferences_outcome {
    bool applied = false;        // some page's changes were applied
    bool needs_restart = false;  // and one of them said the player must restart
};

// Shows the window on the calling thread until it is closed, with `page`
// (or, with none given, the first page) chosen. Throws host_exception when
// the window cannot be made or `page` is not registered.
preferences_outcome run_preferences_window(component_host& host, HWND owner, const GUID* page);

class preferences_window {
public:
    // Control ids of the window's own controls.
    enum : int { id_tree = 100, id_ok = IDOK, id_cancel = IDCANCEL, id_apply = 102, id_note = 103 };

    preferences_window(component_host& host, HWND owner);
    ~preferences_window();
    preferences_window(const preferences_window&) = delete;
    preferences_window& operator=(const preferences_window&) = delete;

    HWND hwnd() const { return wnd_; }
    // Shows page `guid`; false when no such page is registered.
    bool show_page(const GUID& guid);
    preferences_page_instance* current() const { return instance_.get(); }
    bool closed() const { return closed_; }
    const preferences_outcome& outcome() const { return outcome_; }
    // The page names as the tree shows them, depth-first, indented by level.
    std::vector<std::string> tree_lines() const;

private:
    class callback;
    struct page_info {
        service_ptr_t<preferences_page_v3> page;
        GUID guid;
        GUID parent;
        std::string name;
        double priority;
        HTREEITEM item = nullptr;
    };
    static LRESULT CALLBACK window_proc(HWND wnd, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT on_message(UINT message, WPARAM wparam, LPARAM lparam);
    void build_tree();
    void refresh_state();
    void apply();
    void close();

    component_host& host_;
    HWND owner_;
    HWND wnd_ = nullptr;
    HWND tree_ = nullptr;
    std::vector<page_info> pages_;
    std::unique_ptr<callback> callback_;
    service_ptr_t<preferences_page_instance> instance_;
    GUID shown_{};
    preferences_outcome outcome_;
    bool closed_ = false;
};

#pragma once
// The "VST plug-ins" page instance: the dialog that lists the plug-ins of the
// list file and lets the user add, remove and import them. Main thread only.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "../Helpers/dialog_window.h"
#include "../host/preferences_page.h"
#include "../shell/entry.h"
#include "page_resource.h"
#include "process_column.h"

// The most rows "&Add..." can reach.
inline constexpr int k_max_add_rows = 20;

class manager : public dialog_window, public preferences_page_instance {
public:
    enum { IDD = IDD_VST_MANAGER };

    explicit manager(service_ptr_t<preferences_page_callback> callback);
    ~manager() override;
    static HINSTANCE module();

    unsigned get_state() override;
    void apply() override;
    void reset() override;

protected:
    bool on_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

private:
    void on_init();
    void on_add(bool shift);
    // "Add &folder..." (add_folder.cpp).
    void on_add_folder();
    void add_scanned(std::vector<entry> chosen);
    std::wstring last_plugin_folder() const;
    void on_import_legacy();
    void on_remove();
    // The "Run in its own process" switch was clicked.
    void on_own_process();
    // The switch follows the selected rows.
    void show_switch();
    // Asks before removing the selected rows when the chain uses their plug-ins.
    bool confirm_removal();
    void on_destroy();
    void fill_rows(entry_list records);

    int row_count() const;
    entry* record_of(int row) const;
    std::vector<const entry*> records(bool selected_only) const;
    // The row takes ownership of the record.
    void insert_row(int row, std::unique_ptr<entry> record);
    void destroy_rows();
    void state_changed();

    service_ptr_t<preferences_page_callback> callback_;
    HWND list_ = nullptr;
    bool changed_ = false;
    process_column process_;
};

// The module path stored for a chosen DLL: in a portable installation the
// path relative to the folder of the player's executable when one can be
// formed, else the path as chosen.
std::wstring stored_module_path(const std::wstring& chosen, bool portable);

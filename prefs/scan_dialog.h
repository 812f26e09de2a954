#pragma once
// The dialog of "Add &folder...": it scans the chosen folder while it shows
// the scan's progress (Cancel stops the scan, and once the scan is over
// closes the dialog), then every file's result, with a check box on each
// effect that can be added; OK hands over the checked ones. The page adds
// them as "&Add..." adds a plug-in. Main thread.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../Helpers/dialog_window.h"
#include "../vst/folder_scan.h"

class scan_dialog final : public dialog_window {
public:
    struct setup {
        std::wstring folder;
        std::vector<scan_listed_plugin> listed;  // the page's rows
        std::size_t room = 0;                    // rows "&Add..." can still reach: effects checked at first
        std::function<std::string(const entry&)> process_text;  // where an added plug-in would run
    };
    explicit scan_dialog(setup s);
    ~scan_dialog() override;

    // Runs the dialog; the effects checked when OK was clicked, in folder
    // order (each with its DLL's full path as module path). Empty after
    // Cancel.
    std::vector<entry> run(HWND parent);

protected:
    bool on_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

private:
    void on_init();
    void start_scan();
    void on_tick();
    void show_results();
    void on_cancel();
    void on_ok();
    bool addable(int row) const;
    void show_detail(int row);
    void enable_choices(bool enable);

    setup setup_;
    HWND list_ = nullptr;
    std::unique_ptr<folder_scan> scan_;
    bool scanning_ = false;
    bool stopping_ = false;
    std::vector<entry> chosen_;
};

// The words the dialog shows for a file's result, and its status line at the end.
std::string scan_result_words(const scan_file_result& r);
std::string scan_summary_words(const folder_scan& scan);

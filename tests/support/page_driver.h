#pragma once
// Drives a preferences page instance the way a user does: reads its list
// view, clicks its buttons (with or without Shift) and answers the file
// dialog "&Add..." opens by filling in its path.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "../../host/preferences_page.h"

// The player's side of the page: counts the notifications and its own
// references, and asks the state again after each notification.
class test_page_callback : public preferences_page_callback {
public:
    int add_ref() noexcept override { return ++refs; }
    int release() noexcept override { return --refs; }
    bool query(service_base*& out, const GUID& guid) override {
        return answer_query<test_page_callback, preferences_page_callback>(this, out, guid);
    }
    void on_state_changed() override {
        ++notifications;
        if (page) last_state = page->get_state();
    }
    int refs = 0;
    int notifications = 0;
    unsigned last_state = 0;
    preferences_page_instance* page = nullptr;
};

using row_texts = std::vector<std::string>;  // product, vendor, I/O, module

class page_driver {
public:
    explicit page_driver(HWND page) : page_(page) {}
    HWND list() const;
    HWND control(int id) const { return GetDlgItem(page_, id); }
    std::vector<row_texts> rows() const;
    // The texts of one column, row by row.
    std::vector<std::string> column(int index) const;
    std::vector<int> selected_rows() const;
    int focused_row() const;
    void select(const std::vector<int>& rows) const;

    void click(int id, bool shift = false) const;
    // Clicks a button and answers the message box the click shows, if any,
    // with `answer` (IDYES, IDNO...). The click returns only once the box is
    // gone, so a box that did not come up never came up.
    struct message_box {
        bool shown = false;
        std::string title;
        std::string text;
    };
    message_box click_answering(int id, int answer) const;
    // Clicks "&Add..." and picks `path` in the file dialog; an empty path
    // cancels the dialog. Answers whether a file dialog came up.
    bool add(const std::wstring& path) const;
    // Clicks "Add &folder...", picks `folder` in the folder chooser and hands
    // the scan dialog that opens to `in_dialog`, on a thread of the test's
    // while the page's thread runs the dialog; `in_dialog` must close it.
    // An empty folder cancels the chooser. Answers whether a chooser came up.
    bool add_folder(const std::wstring& folder, const std::function<void(HWND dialog)>& in_dialog) const;

private:
    HWND page_;
};

// A top-level window to hold pages, shown under the test's X server.
HWND make_page_parent();
void init_common_controls();

// The scan dialog of "Add &folder...", read and worked as a user does, from
// a thread other than its own.
class scan_dialog_driver {
public:
    explicit scan_dialog_driver(HWND dialog) : dialog_(dialog) {}
    HWND control(int id) const { return GetDlgItem(dialog_, id); }
    std::string status() const;
    // Waits until the scan is over: its status no longer says it is at work.
    bool wait_until_over(int timeout_ms = 60000) const;
    // File, result and details of each row.
    std::vector<row_texts> rows() const;
    // Per row: -1 no check box, 0 clear, 1 checked.
    std::vector<int> checks() const;
    void set_check(int row, bool checked) const;
    void select(int row) const;
    void click(int id) const;

private:
    HWND dialog_;
};

// The page's "Add &folder...": the button beside "&Add...", the folder
// chooser, the scan dialog with its progress, results and check boxes, OK
// adding the checked effects as "&Add..." adds one, Cancel, and a list that
// fills up, driven in real windows.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include "../../Helpers/utf.h"
#include "../support/page_fixture.h"
#include "../support/scan_folder.h"
#include "../support/window_probe.h"

namespace {

const int k_add = 1005, k_add_folder = 1013, k_note = 1012, k_switch = 1011;
const unsigned k_changed_state = 11;
const char* const k_own_arch = sizeof(void*) == 8 ? "x64" : "x86";

class ScanPage : public PageFixture {
protected:
    void copy(const char* plugin, const std::wstring& name) {
        ASSERT_TRUE(copy_file_to(plugin_dll(plugin), fx.file(name))) << plugin;
    }
    row_texts added_row(const std::wstring& file, const std::string& product) {
        return {product, "Orvane Labs", "2/2", wide_to_utf8(fx.file(file))};
    }
    RECT placed(HWND control) {
        RECT r{};
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, instance->get_wnd(), reinterpret_cast<POINT*>(&r), 2);
        return r;
    }

    temp_folder fx;
};

TEST_F(ScanPage, TheButtonStandsBesideAddAndLeavesTheOthersInPlace) {
    open(numbered(1));
    HWND folder = driver->control(k_add_folder), add = driver->control(k_add);
    EXPECT_EQ(window_text(folder), L"Add &folder...");
    EXPECT_TRUE((GetWindowLongW(folder, GWL_STYLE) & WS_VISIBLE) && IsWindowEnabled(folder));
    const RECT f = placed(folder), a = placed(add);
    EXPECT_EQ(f.top, a.top);
    EXPECT_EQ(f.bottom, a.bottom);
    EXPECT_LT(f.right, a.left);
    // The note and the switch under the list keep clear of it, and the note
    // still shows its whole text.
    for (int id : {k_note, k_switch}) EXPECT_LT(placed(driver->control(id)).right, f.left) << id;
    HWND note = driver->control(k_note);
    HDC dc = GetDC(note);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(note, WM_GETFONT, 0, 0)));
    const std::wstring text = window_text(note);
    SIZE needed{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &needed);
    SelectObject(dc, old);
    ReleaseDC(note, dc);
    EXPECT_LE(needed.cx, client_size(note).cx);
}

TEST_F(ScanPage, OkAddsTheCheckedEffects) {
    copy("gain", L"gain.dll");
    copy("fault_entry", L"crash.dll");
    copy("recorder", L"recorder.dll");
    copy("six_out", L"six.dll");
    write_file_bytes(fx.file(L"empty.dll"), {});
    open(numbered(1));
    std::vector<row_texts> rows;
    std::vector<int> checks;
    std::string detail, effect_detail;
    ASSERT_TRUE(driver->add_folder(fx.path(), [&](HWND dialog) {
        scan_dialog_driver d(dialog);
        ASSERT_TRUE(d.wait_until_over());
        EXPECT_EQ(window_text(d.control(1101)), fx.path());
        EXPECT_EQ(d.status(), "Done: 5 DLLs, 3 effects that can be added, 1 crashed or hung.");
        rows = d.rows();
        checks = d.checks();
        // A selected row shows the whole of its path and result under the list.
        d.select(0);
        detail = wide_to_utf8(window_text(d.control(1108)));
        d.select(2);
        effect_detail = wide_to_utf8(window_text(d.control(1108)));
        d.set_check(3, false);  // not the recorder
        d.set_check(1, true);   // a crashed DLL takes no check mark
        d.click(IDOK);
    }));
    EXPECT_EQ(rows, (std::vector<row_texts>{
                        {"crash.dll", "crashed", "The VST plug-in crashed in its entry function (access violation)."},
                        {"empty.dll", "not a DLL", "An empty file."},
                        {"gain.dll", "VST effect", ""},
                        {"recorder.dll", "VST effect", ""},
                        {"six.dll", "VST effect", ""},
                    }));
    EXPECT_EQ(checks, (std::vector<int>{-1, -1, 1, 1, 1}));
    EXPECT_EQ(detail, wide_to_utf8(fx.file(L"crash.dll")) +
                          "\r\nThe VST plug-in crashed in its entry function (access violation).");
    EXPECT_EQ(effect_detail, wide_to_utf8(fx.file(L"gain.dll")) + "\r\nOrvane Gain by Orvane Labs, 2/2.");
    EXPECT_EQ(driver->rows(), (std::vector<row_texts>{row_of(numbered(1)[0]), added_row(L"gain.dll", "Orvane Gain"),
                                                      {"Six Out", "Orvane Labs", "2/6",
                                                       wide_to_utf8(fx.file(L"six.dll"))}}));
    EXPECT_EQ(callback.last_state, k_changed_state);
    EXPECT_EQ(host->popups().messages(), std::vector<popup_record>{});
    EXPECT_EQ(driver->column(4), (std::vector<std::string>{"player", "player", "player"}));

    // Found again, they are listed: nothing to add, nothing checked.
    ASSERT_TRUE(driver->add_folder(fx.path(), [&](HWND dialog) {
        scan_dialog_driver d(dialog);
        ASSERT_TRUE(d.wait_until_over());
        rows = d.rows();
        checks = d.checks();
        d.click(IDOK);
    }));
    EXPECT_EQ(rows[2][1], "already listed (remembered)");
    EXPECT_EQ(rows[3][1], "VST effect (remembered)");
    EXPECT_EQ(checks, (std::vector<int>{-1, -1, -1, 1, -1}));
    EXPECT_EQ(driver->rows().size(), 4u);
}

TEST_F(ScanPage, CancelAddsNothing) {
    copy("gain", L"gain.dll");
    open(numbered(2));
    EXPECT_TRUE(driver->add_folder(L"", [](HWND) {}));  // the chooser cancelled
    ASSERT_TRUE(driver->add_folder(fx.path(), [&](HWND dialog) {
        scan_dialog_driver d(dialog);
        ASSERT_TRUE(d.wait_until_over());
        d.click(IDCANCEL);
    }));
    EXPECT_EQ(driver->rows().size(), 2u);
    EXPECT_EQ(callback.notifications, 0);
    EXPECT_EQ(instance->get_state(), 0u);
}

// Cancel while a DLL hangs being checked stops the scan: no further file is
// loaded, and what was found can still be added.
TEST_F(ScanPage, CancelStopsTheScanHalfWay) {
    // As many hanging DLLs as the scan checks at a time hold all of it.
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    const unsigned jobs = system.dwNumberOfProcessors < 2 ? 2 : system.dwNumberOfProcessors;
    for (unsigned i = 0; i < jobs; ++i) copy("fault_loop_open", L"a_loops" + std::to_wstring(i) + L".dll");
    for (int i = 0; i < 6; ++i) copy("recorder", L"c" + std::to_wstring(i) + L".dll");
    open({});
    std::string stopping;
    std::vector<row_texts> rows;
    ASSERT_TRUE(driver->add_folder(fx.path(), [&](HWND dialog) {
        scan_dialog_driver d(dialog);
        // Once the gain is found, the hanging DLL still holds the scan.
        ASSERT_TRUE(wait_until([&] { return d.status().find("Checking") == 0; }, 30000));
        d.click(IDCANCEL);
        ASSERT_TRUE(wait_until([&] { return !(stopping = d.status()).empty() && stopping.find("Stop") == 0; }, 5000));
        ASSERT_TRUE(d.wait_until_over());
        rows = d.rows();
        d.click(IDOK);
    }));
    EXPECT_EQ(stopping, "Stopping: the DLLs being checked finish first...");
    ASSERT_EQ(rows.size(), jobs + 6);
    for (unsigned i = 0; i < jobs; ++i)
        EXPECT_EQ(rows[i], (row_texts{"a_loops" + std::to_string(i) + ".dll", "hung",
                                      "The VST plug-in stopped answering in effOpen (its process was ended)."}));
    for (std::size_t i = jobs; i < rows.size(); ++i)
        EXPECT_EQ(rows[i], (row_texts{"c" + std::to_string(i - jobs) + ".dll", "not checked",
                                      "Not checked: the scan was cancelled."}));
    EXPECT_EQ(driver->rows().size(), 0u);
    EXPECT_EQ(running_bridges(GetCurrentProcessId()), std::vector<DWORD>{});
}

TEST_F(ScanPage, AFullListTakesOnlyWhatFits) {
    copy("gain", L"a.dll");
    copy("recorder", L"b.dll");
    open(numbered(19));
    std::vector<int> checks;
    ASSERT_TRUE(driver->add_folder(fx.path(), [&](HWND dialog) {
        scan_dialog_driver d(dialog);
        ASSERT_TRUE(d.wait_until_over());
        checks = d.checks();
        d.set_check(1, true);
        d.click(IDOK);
    }));
    EXPECT_EQ(checks, (std::vector<int>{1, 0}));  // one row is left
    EXPECT_EQ(driver->rows().back(), added_row(L"a.dll", "Orvane Gain"));
    EXPECT_EQ(driver->rows().size(), 20u);
    const popup_record full{"The list is full: 1 of the checked plug-ins was not added (Recorder). At most 20 "
                            "plug-ins can be added.",
                            "Error", popup_message::icon_information};
    EXPECT_EQ(host->popups().messages(), std::vector<popup_record>{full});
    EXPECT_FALSE(IsWindowEnabled(driver->control(k_add_folder)));
    EXPECT_FALSE(IsWindowEnabled(driver->control(k_add)));
}

}  // namespace

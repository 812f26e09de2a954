// orvane prefs and orvane import-legacy end to end: the tool in a process of
// its own, its preferences window worked from the test, the registry of the
// test's Wine prefix.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <map>

#include "../../Helpers/utf.h"
#include "../support/child_process.h"
#include "../support/list_writer.h"
#include "../support/registry_sandbox.h"
#include "../support/test_paths.h"
#include "../support/window_probe.h"

namespace {

const wchar_t k_legacy_key[] = L"Software\\Tamsk\\Q7R Orvane";

// The preferences window of the tool's process, and the page inside it.
HWND wait_prefs(DWORD process) {
    HWND w = nullptr;
    wait_until([&] { return (w = find_window_of_class(process, L"VelmoraStandInPreferences")) != nullptr; }, 20000);
    return w;
}
// The page is found while it is being made; it shows once its rows are in.
HWND wait_page(HWND prefs) {
    HWND page = nullptr;
    wait_until([&] { return (page = FindWindowExW(prefs, nullptr, L"#32770", nullptr)) && IsWindowVisible(page); },
               20000);
    return page;
}

class PrefsTool : public ::testing::Test {
protected:
    std::vector<std::wstring> with_profile(std::vector<std::wstring> a) {
        a.insert(a.begin(), {L"--profile", profile.path()});
        return a;
    }
    std::vector<unsigned char> list_bytes() { return read_file_bytes(profile.file(L"vst_entries.bin")); }
    temp_folder profile;
};

TEST_F(PrefsTool, AddThroughThePageAndOk) {
    write_list_file(profile.file(L"vst_entries.bin"), {});
    int rows_seen = -1;
    tool_run r = run_orvane_driven(with_profile({L"prefs"}), [&](unsigned long pid) {
        HWND prefs = wait_prefs(pid);
        ASSERT_TRUE(prefs);
        EXPECT_EQ(window_text(prefs), L"Preferences");
        HWND page = wait_page(prefs);
        ASSERT_TRUE(page);
        PostMessageW(page, WM_COMMAND, MAKEWPARAM(1005, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(page, 1005)));
        HWND open = nullptr;
        wait_until([&] { return (open = find_dialog(nullptr, 0, nullptr, pid)) != nullptr; }, 20000);
        ASSERT_TRUE(open);
        EXPECT_TRUE(answer_file_dialog(open, plugin_dll("gain")));
        HWND list = GetDlgItem(page, 1004);
        for (int i = 0; i < 200 && ListView_GetItemCount(list) == 0; ++i) Sleep(50);
        rows_seen = ListView_GetItemCount(list);
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(prefs, 102)));  // Apply follows the page's state
        PostMessageW(prefs, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    });
    EXPECT_EQ(rows_seen, 1);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.out.find("The player must restart for the changes to take effect."), std::string::npos) << r.out;
    auto bytes = list_bytes();
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes[0], 1);
    tool_run listed = run_orvane(with_profile({L"plugins"}));
    EXPECT_NE(listed.out.find("Orvane Gain"), std::string::npos) << listed.out;
}

TEST_F(PrefsTool, CancelChangesNothing) {
    write_list_file(profile.file(L"vst_entries.bin"), {{"C:\\fx\\a.dll", "A"}});
    const auto before = list_bytes();
    tool_run r = run_orvane_driven(with_profile({L"prefs"}), [&](unsigned long pid) {
        HWND prefs = wait_prefs(pid);
        ASSERT_TRUE(prefs);
        HWND page = wait_page(prefs);
        ASSERT_TRUE(page);
        EXPECT_EQ(ListView_GetItemCount(GetDlgItem(page, 1004)), 1);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(prefs, 102)));
        PostMessageW(prefs, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find_first_of("\r\n")), "No changes were applied.");
    EXPECT_EQ(list_bytes(), before);
}

// Where a plug-in runs is no list edit: it is kept in the profile's state,
// and it needs no restart.
TEST_F(PrefsTool, AProcessChosenOnThePageIsKept) {
    write_list_file(profile.file(L"vst_entries.bin"),
                    {{"C:\\fx\\a.dll", "A", identifier_text(1)}, {"C:\\fx\\b.dll", "B", identifier_text(2)}});
    bool switched = false;
    tool_run r = run_orvane_driven(with_profile({L"prefs"}), [&](unsigned long pid) {
        HWND prefs = wait_prefs(pid);
        ASSERT_TRUE(prefs);
        HWND page = wait_page(prefs);
        ASSERT_TRUE(page);
        // The page is found while it is being made: its rows come last.
        HWND list = nullptr;
        ASSERT_TRUE(wait_until([&] { return (list = GetDlgItem(page, 1004)) && ListView_GetItemCount(list) == 2; },
                               20000));
        HWND own_process = GetDlgItem(page, 1011);
        EXPECT_FALSE(IsWindowEnabled(own_process));  // nothing selected
        PostMessageW(list, WM_KEYDOWN, VK_HOME, 0);  // the first row
        ASSERT_TRUE(wait_until([&] { return IsWindowEnabled(own_process) != FALSE; }, 20000));
        PostMessageW(page, WM_COMMAND, MAKEWPARAM(1011, BN_CLICKED), reinterpret_cast<LPARAM>(own_process));
        switched = wait_until([&] { return IsWindowEnabled(GetDlgItem(prefs, 102)) != FALSE; }, 20000);
        PostMessageW(prefs, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    });
    EXPECT_TRUE(switched);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out.find("must restart"), std::string::npos) << r.out;
    tool_run listed = run_orvane(with_profile({L"plugins"}));
    const std::size_t a = listed.out.find("  1  A "), b = listed.out.find("  2  B ");
    ASSERT_TRUE(a != std::string::npos && b != std::string::npos) << listed.out;
    const std::size_t column = listed.out.find("Process");  // in the header, the first line
    EXPECT_EQ(listed.out.compare(a + column, 4, "own "), 0) << listed.out;
    EXPECT_EQ(listed.out.compare(b + column, 7, "player "), 0) << listed.out;
}

// The tool reads the registry of the whole prefix; this is the one test
// that writes the legacy key there, and it leaves no key behind.
TEST_F(PrefsTool, ImportLegacyReplacesTheListOrFailsWithoutOne) {
    write_list_file(profile.file(L"vst_entries.bin"), {{"C:\\fx\\a.dll", "A"}, {"C:\\fx\\b.dll", "B"}});
    const auto before = list_bytes();
    RegDeleteTreeW(HKEY_CURRENT_USER, k_legacy_key);

    tool_run empty = run_orvane(with_profile({L"import-legacy"}));
    EXPECT_EQ(empty.exit_code, 1);
    EXPECT_EQ(empty.err.substr(0, empty.err.find_first_of("\r\n")),
              "orvane: error: no legacy plug-in list in the registry "
              "(HKEY_CURRENT_USER\\Software\\Tamsk\\Q7R Orvane)");
    EXPECT_EQ(list_bytes(), before);

    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, k_legacy_key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    auto bytes = multi_string_bytes({L"C:\\old\\delay.dll", L"Old Delay", L"n/a", L"Old Vendor", L"2/2",
                                     L"44454C59-4C59-4445-594C-59444C59444C", L"config:true"});
    RegSetValueExW(key, L"{delay}", 0, REG_MULTI_SZ, bytes.data(), static_cast<DWORD>(bytes.size()));
    // A field longer than a line of the list, and one with a line feed: the
    // records after them must not shift.
    bytes = multi_string_bytes({L"C:\\old\\echo.dll", std::wstring(300, L'E'), L"n/a", L"Two\nLines", L"2/2",
                                L"4543484F-484F-4543-4F48-4F4543484F45", L"config:false"});
    RegSetValueExW(key, L"{echo}", 0, REG_MULTI_SZ, bytes.data(), static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
    tool_run r = run_orvane(with_profile({L"import-legacy"}));
    RegDeleteTreeW(HKEY_CURRENT_USER, k_legacy_key);

    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.out.find("Imported 2 plug-ins from HKEY_CURRENT_USER\\Software\\Tamsk\\Q7R Orvane, replacing the 2 "
                         "listed before:"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Old Delay"), std::string::npos);
    EXPECT_NE(r.out.find("The player must restart"), std::string::npos);
    tool_run listed = run_orvane(with_profile({L"plugins"}));
    EXPECT_NE(listed.out.find("Old Delay"), std::string::npos) << listed.out;
    EXPECT_EQ(listed.out.find("C:\\fx\\a.dll"), std::string::npos) << listed.out;
    // Each record on a line of its own, its module in the module column.
    std::vector<std::string> records;
    for (std::size_t at = 0, end; at < listed.out.size(); at = end + 1) {
        end = listed.out.find('\n', at);
        if (end == std::string::npos) end = listed.out.size();
        std::string line = listed.out.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("  1  ", 0) == 0 || line.rfind("  2  ", 0) == 0) records.push_back(line);
    }
    ASSERT_EQ(records.size(), 2u) << listed.out;
    std::map<std::string, std::string> module_of;
    for (const std::string& line : records)
        module_of[line.find("Old Delay") != std::string::npos ? "delay" : "echo"] = line.substr(line.rfind(' ') + 1);
    EXPECT_EQ(module_of["delay"], "C:\\old\\delay.dll") << listed.out;
    EXPECT_EQ(module_of["echo"], "C:\\old\\echo.dll") << listed.out;
    EXPECT_NE(records[0].find(std::string(258, 'E')) + records[1].find(std::string(258, 'E')), 2 * std::string::npos);
    EXPECT_EQ(listed.out.find(std::string(259, 'E')), std::string::npos) << listed.out;
}

}  // namespace

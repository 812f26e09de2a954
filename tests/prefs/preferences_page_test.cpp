// The "VST plug-ins" page of the component loaded from its DLL, in real
// windows: what it shows, Add (through the real file dialog), Remove, apply,
// reset, the legacy import, and its lifetime.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <set>

#include "../../Helpers/utf.h"
#include "../../host/exception_win32.h"
#include "../../host/preferences_page.h"
#include "../../host_standin/shared/shared_record.h"
#include "../support/page_fixture.h"
#include "../support/registry_sandbox.h"

namespace {

const GUID k_page_guid = {0x89C112F4, 0xCDA2, 0x4554, {0x91, 0x8A, 0xE7, 0x56, 0xEA, 0x60, 0x8B, 0x94}};
const GUID k_parent_guid = {0x0E966267, 0x7DFB, 0x433B, {0xA0, 0x7C, 0x3F, 0x8C, 0xDD, 0x31, 0xA2, 0x58}};
const unsigned k_changed_state = 11;

class PrefsPage : public PageFixture {};

TEST_F(PrefsPage, ServiceIdentity) {
    open({});
    auto page = page_service();
    string8 name, url;
    page->get_name(name);
    EXPECT_EQ(name.str(), "VST plug-ins");
    EXPECT_TRUE(page->get_parent_guid() == k_parent_guid);
    EXPECT_EQ(page->get_sort_priority(), 0.0);
    EXPECT_FALSE(page->reset_query());
    EXPECT_TRUE(page->get_help_url(url));
    EXPECT_EQ(url.str(), "https://help.velmora.org/Velmora 2.1.0/preferences/89C112F4-CDA2-4554-918A-E756EA608B94/"
                         "VST plug-ins");
    EXPECT_THROW(page->create(parent), exception_not_implemented);
    service_ptr_t<preferences_page_instance> again;
    EXPECT_TRUE(instance.query_as(again));
    EXPECT_EQ(again.get(), instance.get());
}

TEST_F(PrefsPage, OpensWithTheFilesPluginsInFileOrder) {
    auto plugins = numbered(3);
    plugins[1].channels = "";
    open(plugins);
    EXPECT_EQ(driver->rows(), (std::vector<row_texts>{row_of(plugins[0]), row_of(plugins[1]), row_of(plugins[2])}));
    EXPECT_EQ(instance->get_state(), 0u);
    EXPECT_TRUE(add_enabled());

    HWND page = instance->get_wnd();
    EXPECT_EQ(GetParent(page), parent);
    EXPECT_EQ(GetWindowLongW(page, GWL_STYLE) & (WS_CHILD | WS_CAPTION), WS_CHILD);
    wchar_t text[128];
    const std::pair<int, const wchar_t*> labels[] = {{1010, L"VST plug-ins in use:"},
                                                     {1005, L"&Add..."},
                                                     {1006, L"&Remove"},
                                                     {1011, L"Run in its own &process"},
                                                     {1012, L"Takes effect when the plug-in is next loaded."}};
    for (const auto& l : labels) {
        GetWindowTextW(driver->control(l.first), text, 128);
        EXPECT_EQ(std::wstring(text), l.second);
    }
    HWND note = FindWindowExW(page, nullptr, L"Static", L"Restart is required for the changes to take effect.");
    ASSERT_TRUE(note);
    EXPECT_TRUE(GetWindowLongW(note, GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(GetWindowLongW(note, GWL_STYLE) & SS_TYPEMASK, SS_RIGHT);

    HWND list = driver->list();
    EXPECT_EQ(ListView_GetExtendedListViewStyle(list), 0x14820u);
    EXPECT_TRUE(GetWindowLongW(list, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    const int widths[] = {125, 100, 40, 220, 60};
    const wchar_t* headers[] = {L"Product", L"Vendor", L"I/O", L"Module", L"Process"};
    for (int c = 0; c < 5; ++c) {
        LVCOLUMNW col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        col.pszText = text;
        col.cchTextMax = 128;
        ASSERT_TRUE(ListView_GetColumn(list, c, &col));
        EXPECT_EQ(std::wstring(text), headers[c]);
        EXPECT_EQ(col.cx, widths[c]);
        EXPECT_EQ(col.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_LEFT);
    }
    // The process shows before the module, whose long paths would hide it.
    int order[5] = {};
    ASSERT_TRUE(ListView_GetColumnOrderArray(list, 5, order));
    EXPECT_EQ(std::vector<int>(order, order + 5), (std::vector<int>{0, 1, 2, 4, 3}));
}

TEST_F(PrefsPage, AddsAValidPlugin) {
    open(numbered(1));
    ASSERT_TRUE(driver->add(plugin_dll("gain")));
    EXPECT_EQ(driver->rows(), (std::vector<row_texts>{row_of(numbered(1)[0]), plugin_row("gain", "Orvane Gain")}));
    EXPECT_EQ(callback.notifications, 1);
    EXPECT_EQ(callback.last_state, k_changed_state);
    EXPECT_TRUE(host->popups().messages().empty());
}

TEST_F(PrefsPage, RefusedAddsChangeNothing) {
    const std::string k_break = "\r\n\r\n";
    struct row {
        const char* dll;
        popup_record popup;
    } rows[] = {
        {"synth", {"The VST plug-in reports its category as synth or offline DSP." + k_break +
                       wide_to_utf8(plugin_dll("synth")), "Error", popup_message::icon_error}},
        {"no_outputs", {"The VST plug-in has no inputs and/or outputs and hence isn't an effect." + k_break +
                            wide_to_utf8(plugin_dll("no_outputs")), "Error", popup_message::icon_error}},
    };
    open(numbered(2));
    for (const row& r : rows) {
        host->popups().clear();
        ASSERT_TRUE(driver->add(plugin_dll(r.dll))) << r.dll;
        EXPECT_EQ(host->popups().messages(), std::vector<popup_record>{r.popup}) << r.dll;
    }
    host->popups().clear();
    ASSERT_TRUE(driver->add(L""));  // cancelled
    EXPECT_TRUE(host->popups().messages().empty());
    EXPECT_EQ(driver->rows().size(), 2u);
    EXPECT_EQ(callback.notifications, 0);
    EXPECT_EQ(instance->get_state(), 0u);
}

TEST_F(PrefsPage, DuplicateUnderAnotherPathSelectsTheListedRow) {
    auto plugins = numbered(3);
    plugins[1].identifier = identifier_text(0x4F47616E);  // Orvane Gain's uniqueID
    open(plugins);
    temp_folder other;
    std::wstring copy = other.file(L"another-gain.dll");
    ASSERT_TRUE(CopyFileW(plugin_dll("gain").c_str(), copy.c_str(), FALSE));
    driver->select({2});
    ASSERT_TRUE(driver->add(copy));
    EXPECT_EQ(host->popups().messages(),
              (std::vector<popup_record>{{"This plug-in is already in the list.", "Error", popup_message::icon_information}}));
    EXPECT_EQ(driver->selected_rows(), (std::vector<int>{1, 2}));
    EXPECT_EQ(driver->focused_row(), 1);
    EXPECT_EQ(driver->rows().size(), 3u);
    EXPECT_EQ(instance->get_state(), 0u);
}

TEST_F(PrefsPage, TwentyRowsDisableAddAndRemoveEnablesIt) {
    open(numbered(19));
    EXPECT_TRUE(add_enabled());
    ASSERT_TRUE(driver->add(plugin_dll("gain")));
    EXPECT_EQ(callback.last_state, k_changed_state);
    EXPECT_FALSE(add_enabled());
    EXPECT_EQ(driver->rows().size(), 20u);

    driver->select({0, 5, 19});
    driver->click(1006);
    auto expected = numbered(19);
    std::vector<row_texts> rest;
    for (int i = 1; i < 19; ++i)
        if (i != 5) rest.push_back(row_of(expected[i]));
    EXPECT_EQ(driver->rows(), rest);
    EXPECT_TRUE(add_enabled());
    EXPECT_EQ(callback.notifications, 2);

    driver->select({});
    driver->click(1006);  // nothing selected: the rows stay, the state is said again
    EXPECT_EQ(driver->rows().size(), 17u);
    EXPECT_EQ(callback.notifications, 3);
}

TEST_F(PrefsPage, ResetReloadsTheFileAsLastApplied) {
    auto plugins = numbered(3);
    open(plugins);
    driver->select({0, 1, 2});
    driver->click(1006);
    EXPECT_TRUE(driver->rows().empty());
    instance->reset();  // unapplied edits: the file's rows come back
    EXPECT_EQ(driver->rows(), (std::vector<row_texts>{row_of(plugins[0]), row_of(plugins[1]), row_of(plugins[2])}));
    EXPECT_EQ(instance->get_state(), 0u);

    driver->select({1});
    driver->click(1006);
    ASSERT_TRUE(driver->add(plugin_dll("gain")));
    const auto edited = driver->rows();
    instance->apply();
    EXPECT_EQ(instance->get_state(), k_changed_state);  // still needs the restart
    auto bytes = read_file_bytes(profile.file(L"vst_entries.bin"));
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes[0], 3);
    instance->reset();
    EXPECT_EQ(driver->rows(), edited);
    EXPECT_EQ(instance->get_state(), 0u);
}

// Shift is also the list view's multi-select key: an import that finds
// nothing leaves the rows and says so.
TEST_F(PrefsPage, ShiftAddReplacesTheRowsWithTheLegacyListOnlyWhenThereIsOne) {
    registry_sandbox reg;
    open(numbered(2));
    driver->click(1005, true);
    EXPECT_EQ(driver->rows(), (std::vector<row_texts>{row_of(numbered(2)[0]), row_of(numbered(2)[1])}));
    EXPECT_EQ(host->popups().messages(),
              (std::vector<popup_record>{{"No plug-in list from an older release was found.", "Error",
                                          popup_message::icon_information}}));
    EXPECT_EQ(callback.notifications, 0);
    EXPECT_EQ(instance->get_state(), 0u);

    host->popups().clear();
    reg.set_multi(L"Software\\Tamsk\\Q7R Orvane", L"{old}",
                  {L"C:\\old\\delay.dll", L"Old Delay", L"n/a", L"Old Vendor", L"2/2",
                   L"44454C59-4C59-4445-594C-59444C59444C", L"config:false"});
    driver->click(1005, true);
    EXPECT_EQ(driver->rows(), (std::vector<row_texts>{{"Old Delay", "Old Vendor", "2/2", "C:\\old\\delay.dll"}}));
    EXPECT_EQ(callback.notifications, 1);
    EXPECT_EQ(callback.last_state, k_changed_state);
    EXPECT_TRUE(host->popups().messages().empty());
}

// The chain is the player's: removing a plug-in that positions use is asked
// about, naming them, and only a Yes removes it.
TEST_F(PrefsPage, RemovingAPluginTheChainUsesAsksFirst) {
    const auto plugins = numbered(3);
    open(plugins);
    dsp_chain_config_impl chain;
    for (unsigned id : {0x1001u, 0x1002u, 0x1001u}) chain.add_item(keyed(plugin_guid(id), 40000 + id));
    host->chain().write_chain(chain);
    host->popups().clear();  // the chain's listed plug-ins cannot load here

    driver->select({1, 2});
    auto box = driver->click_answering(1006, IDNO);
    EXPECT_TRUE(box.shown);
    EXPECT_EQ(box.title, "VST plug-ins");
    EXPECT_EQ(box.text, "\"fx1\" is used by the DSP chain at positions 1 and 3.\n"
                        "\"fx2\" is used by the DSP chain at position 2.\n\n"
                        "After the player restarts, those positions no longer find their effect. Remove anyway?");
    EXPECT_EQ(driver->rows().size(), 3u);
    EXPECT_EQ(callback.notifications, 0);
    EXPECT_EQ(instance->get_state(), 0u);

    driver->select({0});  // not in the chain: no question
    EXPECT_FALSE(driver->click_answering(1006, IDNO).shown);
    EXPECT_EQ(driver->rows(), (std::vector<row_texts>{row_of(plugins[1]), row_of(plugins[2])}));

    driver->select({0});
    box = driver->click_answering(1006, IDYES);
    EXPECT_TRUE(box.shown);
    EXPECT_EQ(driver->rows(), (std::vector<row_texts>{row_of(plugins[2])}));
    EXPECT_EQ(callback.last_state, k_changed_state);
    EXPECT_TRUE(host->popups().messages().empty());
}

TEST_F(PrefsPage, AFailedApplyIsShownAndLeavesNoFileBehind) {
    open(numbered(2));
    driver->select({0});
    driver->click(1006);
    // The list's place is taken by a folder: the file cannot be replaced.
    const std::wstring list_file = profile.file(L"vst_entries.bin");
    ASSERT_TRUE(DeleteFileW(list_file.c_str()));
    ASSERT_TRUE(CreateDirectoryW(list_file.c_str(), nullptr));
    instance->apply();
    const auto shown = host->popups().messages();
    ASSERT_EQ(shown.size(), 1u);
    const std::string where = "The plug-in list could not be saved: " + wide_to_utf8(list_file) + ": ";
    EXPECT_EQ(shown[0].text.substr(0, where.size()), where);
    EXPECT_EQ(shown[0].title, "Error");
    EXPECT_EQ(shown[0].icon, popup_message::icon_error);
    EXPECT_EQ(names_in(profile.path()), std::set<std::wstring>{L"vst_entries.bin"});
    RemoveDirectoryW(list_file.c_str());
}

// Without its window the page has no rows to write: the file stays.
TEST_F(PrefsPage, ApplyAfterTheWindowIsDestroyedWritesNothing) {
    open(numbered(2));
    driver->select({0});
    driver->click(1006);
    const auto before = read_file_bytes(profile.file(L"vst_entries.bin"));
    DestroyWindow(parent);
    parent = nullptr;
    instance->apply();
    EXPECT_EQ(read_file_bytes(profile.file(L"vst_entries.bin")), before);
    EXPECT_TRUE(host->popups().messages().empty());
}

TEST_F(PrefsPage, PortableInstallationStoresARelativePath) {
    open({}, true);
    ASSERT_TRUE(driver->add(plugin_dll("gain")));
    EXPECT_EQ(driver->rows(), (std::vector<row_texts>{{"Orvane Gain", "Orvane Labs", "2/2", ".\\plugins\\gain.dll"}}));
}

TEST_F(PrefsPage, ExceptionInAHandlerEndsInTheGuard) {
    open({});
    const std::size_t before = standin_filtered_count();
    host->popups().fail_next("the message box is gone");
    ASSERT_TRUE(driver->add(plugin_dll("synth")));
    ASSERT_EQ(standin_filtered_count(), before + 1);
    string8 text;
    standin_filtered_text(before, text);
    EXPECT_EQ(text.str(), "the message box is gone");
    ASSERT_TRUE(driver->add(plugin_dll("gain")));
    EXPECT_EQ(driver->rows(), (std::vector<row_texts>{plugin_row("gain", "Orvane Gain")}));
}

TEST_F(PrefsPage, LastReleaseBeforeTheWindowIsDestroyed) {
    open(numbered(1));
    HWND page = instance->get_wnd();
    EXPECT_EQ(callback.refs, 1);
    instance.reset();
    EXPECT_FALSE(IsWindow(page));
    EXPECT_EQ(callback.refs, 0);
}

TEST_F(PrefsPage, WindowDestroyedBeforeTheLastRelease) {
    open(numbered(1));
    HWND page = instance->get_wnd();
    DestroyWindow(parent);
    parent = nullptr;
    EXPECT_FALSE(IsWindow(page));
    EXPECT_EQ(callback.refs, 1);  // the object waits for its last reference
    EXPECT_EQ(instance->get_wnd(), nullptr);
    instance.reset();
    EXPECT_EQ(callback.refs, 0);
}

TEST_F(PrefsPage, InstantiateWithoutAParentWindowThrows) {
    open({});
    HWND gone = make_page_parent();
    DestroyWindow(gone);
    try {
        page_service()->instantiate(gone, &callback);
        ADD_FAILURE() << "no exception";
    } catch (const exception_win32& e) {
        EXPECT_EQ(e.code(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
        EXPECT_EQ(std::string(e.what()), format_win32_error(ERROR_INVALID_WINDOW_HANDLE));
        EXPECT_NE(std::string(e.what()).find("window"), std::string::npos);
    }
    EXPECT_EQ(callback.refs, 1);  // only the open page holds it
}

TEST(Win32ErrorText, UndefinedAndUnknownCodes) {
    EXPECT_EQ(format_win32_error(0), "Undefined error");
    EXPECT_EQ(format_win32_error(0x2FFFFFF0), "Unknown error code (805306352)");
}

}  // namespace

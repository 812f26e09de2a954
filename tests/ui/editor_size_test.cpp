// The editor window's size and place: the template's size without a usable
// rectangle, size requests from other threads, the place over the player's
// window, and a window that cannot be created.
#include <gtest/gtest.h>


#include "../../Helpers/win32_handles.h"
#include "../../host/exception_win32.h"
#include "editor_fixture.h"

using namespace editor_tests;

namespace {

// Editors that give no rectangle, or one without area (as some do before
// they know their size), keep the template's size, also when the window
// opens over a shown main window.
TEST_F(EditorWindow, WithoutAUsableRectangleTheTemplateSizeStays) {
    ShowWindow(main_window(), SW_SHOWNORMAL);
    RECT main{};
    GetWindowRect(main_window(), &main);
    struct row {
        const char* what;
        float answer;  // the plug-in's parameter that picks its answer
    } rows[] = {{"no rectangle", 0.5f}, {"0 x 0", 0.0f}, {"right and bottom before left and top", 1.0f}};
    std::uint32_t key = 40100;
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        SIZE client{}, expected{};
        POINT corner{};
        const dsp_preset_impl preset = with_parameters(plugin_guid(k_no_rect_id), ++key, {r.answer});
        auto reports = open("No Rect", preset, main_window(), [&](HWND w) {
            ASSERT_TRUE(w);
            client = client_size(w);
            corner = top_left(w);
            RECT units{0, 0, 297, 155};
            MapDialogRect(w, &units);
            expected = {units.right, units.bottom};
        });
        EXPECT_EQ(client.cx, expected.cx);
        EXPECT_EQ(client.cy, expected.cy);
        EXPECT_EQ(corner.x, main.left);
        EXPECT_EQ(corner.y, main.top);
        EXPECT_EQ(reports.size(), 1u);
    }
}

// The window's thread waits inside the plug-in (its idle call) until the
// plug-in's own thread has had its size request answered: the request is
// handed to the window, never served by waiting for it.
std::atomic<bool> g_hold_idle{false};
HANDLE g_idle_held = nullptr, g_size_answered = nullptr;
std::atomic<DWORD> g_idle_wait{0};

void hold_idle_until_answered(std::int32_t opcode, AEffect*) {
    if (opcode != effEditIdle || !g_hold_idle.exchange(false)) return;
    SetEvent(g_idle_held);
    g_idle_wait = WaitForSingleObject(g_size_answered, 5000);
}

TEST_F(EditorWindow, ASizeRequestFromAnotherThreadIsAppliedOnTheWindowsThread) {
    unique_handle held(CreateEventW(nullptr, TRUE, FALSE, nullptr)), answered(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    g_idle_held = held.get();
    g_size_answered = answered.get();
    g_idle_wait = WAIT_FAILED;
    using hook_fn = void (*)(void (*)(std::int32_t, AEffect*));
    auto set_hook = painter.hook<hook_fn>("test_plugin_set_call_hook");
    ASSERT_TRUE(set_hook);
    set_hook(hold_idle_until_answered);
    SIZE resized{};
    open("Orvane Painter", painter_preset(), main_window(), [&](HWND w) {
        ASSERT_TRUE(w);
        g_hold_idle = true;
        ASSERT_EQ(WaitForSingleObject(held.get(), 5000), WAIT_OBJECT_0);
        painter.host_call(audioMasterSizeWindow, 400, 300);  // this thread is the plug-in's own
        SetEvent(answered.get());
        wait_until([&] { return client_size(w).cx == 400 && client_size(w).cy == 300; }, 5000);
        resized = client_size(w);
    });
    set_hook(nullptr);
    EXPECT_EQ(g_idle_wait.load(), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(resized.cx, 400);
    EXPECT_EQ(resized.cy, 300);
}

// Refuses to let this thread create dialog windows, as a system short of
// window resources does.
LRESULT CALLBACK refuse_dialogs(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HCBT_CREATEWND) {
        const auto* create = reinterpret_cast<CBT_CREATEWNDW*>(lparam)->lpcs;
        if (create->lpszClass == MAKEINTRESOURCEW(32770) ||
            (!IS_INTRESOURCE(create->lpszClass) && std::wstring(create->lpszClass) == L"#32770"))
            return 1;
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

TEST_F(EditorWindow, AWindowThatCannotBeCreatedIsReported) {
    HWND shown = main_window();
    HWND gone = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    const std::string text = "The editor window of \"Orvane Painter\" could not be opened";
    struct row {
        const char* what;
        HWND parent;
        bool refused;
        std::string expected;
    } rows[] = {
        {"a parent that is no window", gone, false, text + ": " + format_win32_error(ERROR_INVALID_WINDOW_HANDLE)},
        {"creation refused", shown, true, text + "."},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        host->popups().clear();
        HHOOK hook = r.refused ? SetWindowsHookExW(WH_CBT, refuse_dialogs, nullptr, GetCurrentThreadId()) : nullptr;
        auto reports = open("Orvane Painter", painter_preset(), r.parent, [](HWND) {});
        if (hook) UnhookWindowsHookEx(hook);
        EXPECT_TRUE(reports.empty());
        EXPECT_EQ(painter.calls(effEditOpen), 0);
        EXPECT_EQ(host->popups().messages(),
                  (std::vector<popup_record>{{r.expected, "Error", popup_message::icon_error}}));
    }
}

TEST_F(EditorWindow, OpensOverTheMainWindowOnlyWhenItIsShownAndNotMinimised) {
    struct { int show; bool over; } cases[] = {{SW_HIDE, false}, {SW_SHOWNORMAL, true}, {SW_MINIMIZE, false}};
    for (const auto& c : cases) {
        ShowWindow(main_window(), c.show);
        RECT main{};
        GetWindowRect(main_window(), &main);
        POINT corner{};
        open("Orvane Painter", painter_preset(), GetDesktopWindow(), [&](HWND w) {
            ASSERT_TRUE(w);
            corner = top_left(w);
        });
        if (c.over) {
            EXPECT_EQ(corner.x, main.left) << c.show;
            EXPECT_EQ(corner.y, main.top) << c.show;
        } else {
            EXPECT_EQ(corner.x, 0) << c.show;  // the template's place on the desktop
            EXPECT_EQ(corner.y, 0) << c.show;
        }
    }
}

}  // namespace

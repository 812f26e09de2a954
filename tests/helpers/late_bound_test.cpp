// Functions bound on first use: a real one is found and callable, its DLL
// stays loaded; a missing DLL or function is refused with a reason.
#include <gtest/gtest.h>

#include <windows.h>

#include "../../Helpers/late_bound.h"
#include "../../Helpers/windowing_calls.h"

namespace {

using extended_error_function = DWORD(WINAPI*)();
using length_function = int(WINAPI*)(LPCWSTR);

TEST(LateBound, ResolvesASystemFunctionAndKeepsItsLibraryLoaded) {
    const late_bound<extended_error_function> extended_error{L"comdlg32.dll", "CommDlgExtendedError"};
    const extended_error_function call = extended_error.get();
    ASSERT_NE(call, nullptr) << extended_error.failure();
    EXPECT_NE(GetModuleHandleW(L"comdlg32.dll"), nullptr);
    EXPECT_EQ(extended_error.get(), call);
}

TEST(LateBound, TheFunctionFoundIsTheOneCalled) {
    const late_bound<length_function> length{L"kernel32.dll", "lstrlenW"};
    ASSERT_NE(length.get(), nullptr) << length.failure();
    EXPECT_EQ(length.get()(L"Orvane"), 6);
}

TEST(LateBound, AMissingFunctionIsRefusedWithItsName) {
    const late_bound<extended_error_function> missing{L"kernel32.dll", "OrvaneNoSuchFunction"};
    EXPECT_EQ(missing.get(), nullptr);
    EXPECT_EQ(missing.get(), nullptr);  // the answer is kept, not a crash on the second ask
    EXPECT_EQ(missing.failure(), "the system library kernel32.dll has no function OrvaneNoSuchFunction");
}

TEST(LateBound, AMissingLibraryIsRefusedWithItsName) {
    const late_bound<extended_error_function> missing{L"orvane-no-such-library.dll", "Anything"};
    EXPECT_EQ(missing.get(), nullptr);
    EXPECT_EQ(missing.failure(), "the system library orvane-no-such-library.dll cannot be loaded");
    EXPECT_EQ(GetModuleHandleW(L"orvane-no-such-library.dll"), nullptr);
}

// The names the component and the tool bind late exist on the system they
// run on.
TEST(LateBound, EveryWindowingCallResolves) {
    EXPECT_NE(g_get_open_file_name.get(), nullptr) << g_get_open_file_name.failure();
    EXPECT_NE(g_get_save_file_name.get(), nullptr) << g_get_save_file_name.failure();
    EXPECT_NE(g_set_window_theme.get(), nullptr) << g_set_window_theme.failure();
    EXPECT_NE(g_init_common_controls.get(), nullptr) << g_init_common_controls.failure();
}

}  // namespace

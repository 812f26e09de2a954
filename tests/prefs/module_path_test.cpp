// The module path stored for a chosen plug-in DLL, with and without a
// portable installation of the player (whose folder here is the tests').
#include <gtest/gtest.h>

#include "../../prefs/manager.h"
#include "../support/test_paths.h"

namespace {

TEST(StoredModulePath, RelativeOnlyInAPortableInstallation) {
    // bin_folder() ends in "...\x64\bin\": its parent and a sibling of it.
    const std::wstring bin = bin_folder();
    const std::wstring build = bin.substr(0, bin.find_last_of(L'\\', bin.size() - 2) + 1);
    const std::wstring other_drive = bin[0] == L'C' ? L"D:\\fx\\delay.dll" : L"C:\\fx\\delay.dll";
    struct row {
        const char* what;
        std::wstring chosen;
        bool portable;
        std::wstring stored;
    } rows[] = {
        {"inside the player's folder", bin + L"plugins\\gain.dll", true, L".\\plugins\\gain.dll"},
        {"elsewhere on the same drive", build + L"elsewhere\\fx\\delay.dll", true, L"..\\elsewhere\\fx\\delay.dll"},
        {"on another drive", other_drive, true, other_drive},
        {"inside, not portable", bin + L"plugins\\gain.dll", false, bin + L"plugins\\gain.dll"},
        {"elsewhere, not portable", build + L"elsewhere\\fx\\delay.dll", false, build + L"elsewhere\\fx\\delay.dll"},
    };
    for (const row& r : rows) EXPECT_EQ(stored_module_path(r.chosen, r.portable), r.stored) << r.what;
}

}  // namespace

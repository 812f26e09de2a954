// A DLL's architecture, read before anything loads it, and a DLL of the
// other architecture running in a bridge of its own by itself. The suite's
// cross-architecture run (ctest cross_architecture) points the tests at the
// other architecture's plug-ins; this one holds in both runs.
#include <gtest/gtest.h>

#include "../../Helpers/utf.h"
#include "../../Helpers/win32_handles.h"
#include "../../vst/pe_machine.h"
#include "../../vst/vst.h"
#include "../support/linked_host.h"
#include "../support/test_paths.h"

namespace {

TEST(Architecture, MachineOfEachKindOfFile) {
    EXPECT_EQ(pe_machine(bin_folder() + L"orvane_bridge32.exe"), k_machine_x86);
    EXPECT_EQ(pe_machine(bin_folder() + L"orvane_bridge64.exe"), k_machine_x64);
    EXPECT_EQ(pe_machine(bin_folder() + L"vel_vst.dll"), own_machine());

    temp_folder files;
    write_file_bytes(files.file(L"text.dll"), {'n', 'o', 't', ' ', 'a', ' ', 'd', 'l', 'l'});
    // A DOS header whose PE header would lie past the end of the file.
    std::vector<unsigned char> stub(64, 0);
    stub[0] = 'M';
    stub[1] = 'Z';
    stub[60] = 0x40;
    write_file_bytes(files.file(L"stub.dll"), stub);
    // One whose PE header lies beyond where any image puts it.
    stub[62] = 0x7F;
    write_file_bytes(files.file(L"far.dll"), stub);
    for (const wchar_t* name : {L"text.dll", L"stub.dll", L"far.dll", L"missing.dll"})
        EXPECT_EQ(pe_machine(files.file(name)), k_machine_unknown) << name;
}

// Read once per file: while another program holds the file where no one
// else may open it, the answer kept stands; an image of another machine put
// in its place is read anew (a bridge program: the plug-in folder may be
// either architecture's in the cross-architecture run).
TEST(Architecture, TheAnswerIsKeptUntilTheFileIsReplaced) {
    temp_folder files;
    const std::wstring path = files.file(L"plugin.dll");
    ASSERT_TRUE(CopyFileW(plugin_dll("gain").c_str(), path.c_str(), FALSE));
    const std::uint16_t own = pe_machine(path);
    EXPECT_EQ(own, pe_machine(plugin_dll("gain")));
    EXPECT_NE(own, k_machine_unknown);
    {
        unique_handle held = make_file_handle(
            CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held);
        EXPECT_EQ(pe_image(path).what, pe_image_info::kind::unreadable);
        EXPECT_EQ(pe_machine(path), own);
    }
    const std::wstring other =
        bin_folder() + (own == k_machine_x64 ? L"orvane_bridge32.exe" : L"orvane_bridge64.exe");
    ASSERT_TRUE(CopyFileW(other.c_str(), path.c_str(), FALSE));
    EXPECT_NE(pe_machine(path), own);
    EXPECT_EQ(pe_machine(path), pe_image(other).machine);
}

TEST(Architecture, ADllOfTheOtherArchitectureRunsInItsOwnProcessByItself) {
    linked_host host;
    const std::wstring path = plugin_dll("recorder");
    vst v(entry(wide_to_utf8(path)), false);  // no isolation asked for
    ASSERT_TRUE(v.loaded) << v.diagnosis;
    EXPECT_EQ(v.isolated(), pe_machine(path) != own_machine());
    EXPECT_EQ(v.product_name, "Recorder");
}

}  // namespace

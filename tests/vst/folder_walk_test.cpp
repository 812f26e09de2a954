// The DLLs of a folder as a scan finds them: folder order, links followed
// but never round a loop, and every bound a tree could push it past.
#include <gtest/gtest.h>

#include "../../Helpers/utf.h"
#include "../../vst/folder_walk.h"
#include "../support/scan_folder.h"
#include "../support/test_paths.h"

namespace {

class FolderWalk : public ::testing::Test {
protected:
    void file(const std::wstring& name) { write_file_bytes(folder.file(name), {'x'}); }
    void sub(const std::wstring& name) { ASSERT_TRUE(CreateDirectoryW(folder.file(name).c_str(), nullptr)); }
    std::vector<std::string> names(const folder_walk& w) {
        std::vector<std::string> out;
        for (const found_file& f : w.files) out.push_back(wide_to_utf8(f.path.substr(folder.path().size() + 1)));
        return out;
    }
    folder_walk walk(bool recursive, const walk_limits& limits = {}) {
        return walk_folder(folder.path(), recursive, stop, limits);
    }

    temp_folder folder;
    std::atomic<bool> stop{false};
};

TEST_F(FolderWalk, FilesByNameThenEachSubfolder) {
    for (const wchar_t* name : {L"b.dll", L"A.DLL", L"c.dll.txt", L"d.dllx", L"readme.txt", L"C.Dll"}) file(name);
    sub(L"z");
    sub(L"m");
    sub(L"m\\deeper");
    sub(L"folder.dll");
    for (const wchar_t* name : {L"z\\y.dll", L"m\\x.dll", L"m\\deeper\\w.dll", L"m\\a.dll"}) file(name);
    EXPECT_EQ(names(walk(false)), (std::vector<std::string>{"A.DLL", "b.dll", "C.Dll"}));
    const folder_walk all = walk(true);
    EXPECT_EQ(names(all), (std::vector<std::string>{"A.DLL", "b.dll", "C.Dll", "m\\a.dll", "m\\x.dll",
                                                    "m\\deeper\\w.dll", "z\\y.dll"}));
    EXPECT_EQ(all.folders, 5u);
    EXPECT_TRUE(all.complete);
    EXPECT_TRUE(all.notes.empty());
    // What a scan tells a changed file by.
    EXPECT_EQ(all.files[0].size, 1u);
    EXPECT_NE(all.files[0].last_write, 0u);
}

TEST_F(FolderWalk, ALinkBackIsNotFollowedRound) {
    file(L"a.dll");
    sub(L"s");
    file(L"s\\b.dll");
    folder_link up(folder.file(L"s\\up"), folder.path());
    folder_link again(folder.file(L"again"), folder.file(L"s"));
    ASSERT_TRUE(up.made());
    ASSERT_TRUE(again.made());
    const folder_walk w = walk(true);
    // The link to s comes first by name: s is walked through it, and its
    // own entry is then the one already scanned.
    EXPECT_EQ(names(w), (std::vector<std::string>{"a.dll", "again\\b.dll"}));
    EXPECT_EQ(w.notes,
              (std::vector<std::string>{
                  "The subfolder again\\up was skipped: it leads back to a folder already scanned (a link or junction).",
                  "The subfolder s was skipped: it leads back to a folder already scanned (a link or junction)."}));
}

TEST_F(FolderWalk, EveryBoundStopsTheWalkWithANote) {
    for (const wchar_t* name : {L"a.dll", L"b.dll", L"c.dll"}) file(name);
    sub(L"s1");
    sub(L"s1\\s2");
    sub(L"s1\\s2\\s3");
    file(L"s1\\s2\\d.dll");
    file(L"s1\\s2\\s3\\e.dll");
    struct {
        walk_limits limits;
        std::vector<std::string> files;
        std::string note;
    } cases[] = {
        {{2, 100, 32}, {"a.dll", "b.dll"}, "Only the first 2 DLLs were scanned; scan the rest a subfolder at a time."},
        {{100, 2, 32}, {"a.dll", "b.dll", "c.dll"},
         "Only 2 folders were looked through; s1\\s2 and the folders after it were not."},
        {{100, 100, 2}, {"a.dll", "b.dll", "c.dll", "s1\\s2\\d.dll"},
         "Subfolders more than 2 levels down were not scanned (s1\\s2\\s3)."},
    };
    for (const auto& c : cases) {
        const folder_walk w = walk(true, c.limits);
        EXPECT_EQ(names(w), c.files);
        EXPECT_EQ(w.notes, std::vector<std::string>{c.note});
        EXPECT_FALSE(w.complete);
    }
    EXPECT_TRUE(walk(true).complete);
    stop = true;
    EXPECT_FALSE(walk(true).complete);
}

// Thousands of files, the DLLs among them all found, in order.
TEST_F(FolderWalk, ThousandsOfFiles) {
    std::vector<std::string> dlls;
    for (int i = 0; i < 2000; ++i) {
        const std::wstring name = std::to_wstring(10000 + i) + (i % 10 == 0 ? L".dll" : L".dat");
        HANDLE h = CreateFileW(folder.file(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        CloseHandle(h);
        if (i % 10 == 0) dlls.push_back(wide_to_utf8(name));
    }
    EXPECT_EQ(names(walk(false)), dlls);
}

TEST(ScanFolderProblem, NamesWhatIsWrong) {
    temp_folder folder;
    write_file_bytes(folder.file(L"f.dll"), {1});
    EXPECT_EQ(scan_folder_problem(folder.path()), "");
    EXPECT_EQ(scan_folder_problem(folder.file(L"f.dll")), wide_to_utf8(folder.file(L"f.dll")) + " is a file, not a folder.");
    EXPECT_EQ(scan_folder_problem(folder.file(L"none")),
              "The folder " + wide_to_utf8(folder.file(L"none")) + " does not exist.");
    EXPECT_EQ(scan_folder_problem(folder.file(L"none\\deeper")),
              "The folder " + wide_to_utf8(folder.file(L"none\\deeper")) + " does not exist.");
}

}  // namespace

// The plug-in list file: its exact bytes and how damaged files read.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <set>

#include "../../Helpers/utf.h"
#include "../../shell/identifier_text.h"
#include "../../shell/list_file.h"
#include "../support/test_paths.h"

namespace {

// UTF-16LE bytes of an ASCII text.
std::vector<unsigned char> utf16(const std::string& text) {
    std::vector<unsigned char> out;
    for (char c : text) {
        out.push_back(static_cast<unsigned char>(c));
        out.push_back(0);
    }
    return out;
}

std::vector<unsigned char> concat(std::vector<unsigned char> a, const std::vector<unsigned char>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

entry sample_entry() {
    entry e("C:\\fx\\gain.dll");
    e.product_name = "Gain";
    e.spare_text = "n/a";
    e.vendor_name = "Orvane Labs";
    e.channel_summary = "2/2";
    e.identifier = identifier_from_unique_id(0x41424344);
    e.has_editor = true;
    return e;
}

class ListFile : public ::testing::Test {
protected:
    temp_folder dir;
    std::wstring path = dir.file(L"vst_entries.bin");
};

TEST_F(ListFile, EmptyListIsFourZeroBytes) {
    ASSERT_TRUE(save_list_file(path, {}).saved);
    EXPECT_EQ(read_file_bytes(path), (std::vector<unsigned char>{0, 0, 0, 0}));
    entry_list loaded;
    loaded.push_back(std::make_unique<entry>("stale"));
    load_list_file(path, loaded);
    EXPECT_TRUE(loaded.empty());
}

TEST_F(ListFile, OneRecordIsSevenUtf16Lines) {
    entry_list list;
    list.push_back(std::make_unique<entry>(sample_entry()));
    save_list_file(path, list);

    std::vector<unsigned char> expected = {0x01, 0x00, 0x00, 0x00,
                                           // "C:" then backslash, UTF-16LE
                                           0x43, 0x00, 0x3A, 0x00, 0x5C, 0x00};
    expected = concat(expected, utf16("fx\\gain.dll\nGain\nn/a\nOrvane Labs\n2/2\n"
                                      "41424344-4344-4142-4443-424144434241\nconfig:true\n"));
    EXPECT_EQ(read_file_bytes(path), expected);
}

TEST_F(ListFile, SaveThenLoadKeepsEveryField) {
    entry_list list;
    list.push_back(std::make_unique<entry>(sample_entry()));
    entry second("plugins\\\xC3\xA9" "cho.dll");  // a non-ASCII name survives the UTF-16 round trip
    second.product_name = "\xC3\x89" "cho";
    second.identifier = identifier_from_unique_id(-7);
    list.push_back(std::make_unique<entry>(second));
    save_list_file(path, list);

    entry_list loaded;
    load_list_file(path, loaded);
    ASSERT_EQ(loaded.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(loaded[i]->to_lines(), list[i]->to_lines());
        EXPECT_EQ(std::memcmp(&loaded[i]->identifier, &list[i]->identifier, sizeof(GUID)), 0);
        EXPECT_EQ(loaded[i]->has_editor, list[i]->has_editor);
    }
    EXPECT_TRUE(loaded[0]->has_editor);
    EXPECT_FALSE(loaded[1]->has_editor);
}

// The count, not the file's size, says how many entries there are: entries
// past the stored records are empty, up to a fixed bound.
TEST_F(ListFile, CountSaysHowManyEntriesUpToTheFixedBound) {
    const std::string full = "a.dll\nA\nn/a\nV\n2/2\n41424344-4344-4142-4443-424144434241\nconfig:true\n";
    const std::string shortest = "a.dll\n\n\n\n\n\n\n";  // seven lines: the smallest record
    struct row {
        const char* what;
        std::vector<unsigned char> count;
        bool full_record;
        std::size_t entries;
    } rows[] = {
        {"three, one record", {3, 0, 0, 0}, true, 3},
        {"five, one shortest record", {5, 0, 0, 0}, false, 5},
        {"damaged", {0xFF, 0xFF, 0xFF, 0x7F}, false, list_file_max_records},
        {"minus one", {0xFF, 0xFF, 0xFF, 0xFF}, false, 0},
        {"most negative", {0, 0, 0, 0x80}, false, 0},
        {"zero", {0, 0, 0, 0}, false, 0},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        write_file_bytes(path, concat(r.count, utf16(r.full_record ? full : shortest)));
        entry_list loaded;
        load_list_file(path, loaded);
        ASSERT_EQ(loaded.size(), r.entries);
        if (loaded.empty()) continue;
        EXPECT_EQ(loaded[0]->module_path, "a.dll");
        if (r.full_record) {
            EXPECT_TRUE(loaded[0]->has_editor);
        }
        const auto empty = entry(entry::lines{}).to_lines();
        for (std::size_t i = 1; i < loaded.size(); ++i) {
            EXPECT_EQ(loaded[i]->to_lines(), empty);
            EXPECT_FALSE(loaded[i]->has_editor);
        }
    }
}

TEST_F(ListFile, ShortFilesAndMissingFileAreEmpty) {
    entry_list loaded;
    load_list_file(dir.file(L"missing.bin"), loaded);
    EXPECT_TRUE(loaded.empty());
    write_file_bytes(path, {1, 0});
    load_list_file(path, loaded);
    EXPECT_TRUE(loaded.empty());
}

TEST_F(ListFile, OverlongLineSplitsAndCarriageReturnStays) {
    std::string long_path(300, 'x');
    write_file_bytes(path, concat({2, 0, 0, 0}, utf16(long_path + "\nP\r\n")));
    entry_list loaded;
    load_list_file(path, loaded);
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_EQ(loaded[0]->module_path, std::string(259, 'x'));
    EXPECT_EQ(loaded[0]->product_name, std::string(41, 'x'));
    EXPECT_EQ(loaded[0]->spare_text, "P\r");
}

// A field the line format cannot hold would split on reading and shift every
// later record: the save refuses the whole list and the old file stays.
TEST_F(ListFile, SaveRefusesAFieldThatWouldNotReadBackAndKeepsTheOldFile) {
    const std::vector<unsigned char> old_bytes = {0, 0, 0, 0};
    struct row {
        const char* what;
        std::string entry::*field;
        std::string text;
        const char* refusal;  // null: saved, and read back the same
    } rows[] = {
        {"258 units", &entry::product_name, std::string(258, 'p'), nullptr},
        {"258 units with a carriage return", &entry::vendor_name, std::string(257, 'v') + "\r", nullptr},
        {"259 units", &entry::product_name, std::string(259, 'p'),
         "the product name of plug-in 2 is longer than 258 characters or holds a line break."},
        {"a line feed", &entry::module_path, "C:\\fx\\a\nb.dll",
         "the module path of plug-in 2 is longer than 258 characters or holds a line break."},
        {"a line feed at the end", &entry::channel_summary, "2/2\n",
         "the channel summary of plug-in 2 is longer than 258 characters or holds a line break."},
        {"259 units in the spare text", &entry::spare_text, std::string(259, 's'),
         "the spare text of plug-in 2 is longer than 258 characters or holds a line break."},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        write_file_bytes(path, old_bytes);
        entry_list list;
        list.push_back(std::make_unique<entry>(sample_entry()));
        list.push_back(std::make_unique<entry>(sample_entry()));
        (*list[1]).*r.field = r.text;
        list.push_back(std::make_unique<entry>(sample_entry()));
        const list_save_result result = save_list_file(path, list);
        if (r.refusal) {
            EXPECT_FALSE(result.saved);
            EXPECT_EQ(result.error, std::string("The plug-in list could not be saved: ") + r.refusal);
            EXPECT_EQ(read_file_bytes(path), old_bytes);
        } else {
            EXPECT_TRUE(result.saved) << result.error;
            EXPECT_TRUE(list_file_holds(path, list));
        }
        EXPECT_EQ(names_in(dir.path()), std::set<std::wstring>{L"vst_entries.bin"});
    }
}

TEST_F(ListFile, ReadingBackComparesEveryField) {
    entry_list list;
    list.push_back(std::make_unique<entry>(sample_entry()));
    ASSERT_TRUE(save_list_file(path, list).saved);
    EXPECT_TRUE(list_file_holds(path, list));
    // One change in any field, the identifier's last byte and the flag included.
    std::vector<std::function<void(entry&)>> changes = {
        [](entry& e) { e.module_path += "x"; },     [](entry& e) { e.product_name += "x"; },
        [](entry& e) { e.spare_text += "x"; },      [](entry& e) { e.vendor_name += "x"; },
        [](entry& e) { e.channel_summary += "x"; }, [](entry& e) { e.identifier.Data4[7] ^= 1; },
        [](entry& e) { e.has_editor = !e.has_editor; }};
    for (std::size_t i = 0; i < changes.size(); ++i) {
        entry_list other;
        other.push_back(std::make_unique<entry>(sample_entry()));
        changes[i](*other[0]);
        EXPECT_FALSE(list_file_holds(path, other)) << i;
    }
    list.push_back(std::make_unique<entry>(sample_entry()));
    EXPECT_FALSE(list_file_holds(path, list));  // one record more
}

// The save goes through a file of its own beside the list: a leftover of an
// earlier name does not stop it, and a failure is told and leaves nothing.
TEST_F(ListFile, SaveReportsFailuresAndLeavesNoTemporaryFile) {
    entry_list list;
    list.push_back(std::make_unique<entry>(sample_entry()));
    const std::wstring leftover = dir.file(L"vst_entries.bin.new");
    write_file_bytes(leftover, {'o', 'l', 'd'});
    SetFileAttributesW(leftover.c_str(), FILE_ATTRIBUTE_READONLY);
    list_save_result result = save_list_file(path, list);
    SetFileAttributesW(leftover.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(result.saved) << result.error;
    EXPECT_TRUE(list_file_holds(path, list));
    EXPECT_EQ(names_in(dir.path()), (std::set<std::wstring>{L"vst_entries.bin", L"vst_entries.bin.new"}));
    DeleteFileW(leftover.c_str());

    const std::string prefix = "The plug-in list could not be saved: ";
    // The list's place is taken by a folder: the new file cannot go there.
    const std::wstring blocked = dir.file(L"blocked");
    ASSERT_TRUE(CreateDirectoryW(blocked.c_str(), nullptr));
    const std::wstring in_folder = blocked + L"\\vst_entries.bin";
    ASSERT_TRUE(CreateDirectoryW(in_folder.c_str(), nullptr));
    // A profile folder that does not exist.
    const std::wstring missing = dir.file(L"missing\\vst_entries.bin");
    for (const std::wstring& target : {in_folder, missing}) {
        result = save_list_file(target, list);
        EXPECT_FALSE(result.saved);
        const std::string where = prefix + wide_to_utf8(target) + ": ";
        EXPECT_EQ(result.error.substr(0, where.size()), where);
        EXPECT_GT(result.error.size(), where.size());  // the system's reason
    }
    EXPECT_EQ(names_in(blocked), std::set<std::wstring>{L"vst_entries.bin"});
    RemoveDirectoryW(in_folder.c_str());
    RemoveDirectoryW(blocked.c_str());
}

TEST(ListFilePath, SchemePrefixIsRemoved) {
    EXPECT_EQ(list_file_path("file://C:\\Profile"), L"C:\\Profile\\vst_entries.bin");
    EXPECT_EQ(list_file_path("C:\\Profile"), L"C:\\Profile\\vst_entries.bin");
    EXPECT_EQ(list_file_path("C:\\Profile\\"), L"C:\\Profile\\vst_entries.bin");
}

TEST(IdentifierText, FourCharacterCode) {
    GUID id = identifier_from_unique_id(0x41424344);
    EXPECT_EQ(format_identifier(id), "41424344-4344-4142-4443-424144434241");
    std::uint32_t words[4];
    std::memcpy(words, &id, sizeof words);
    for (std::uint32_t w : words) EXPECT_EQ(w, 0x41424344u);
    EXPECT_TRUE(is_plugin_identifier(id));
}

TEST(IdentifierText, BracesLowerCaseAndExtraHyphensReadAlike) {
    const GUID canonical = identifier_from_unique_id(0x41424344);
    for (const char* text : {"41424344-4344-4142-4443-424144434241", "{41424344-4344-4142-4443-424144434241}",
                             "{41424344-4344-4142-4443-424144434241", "41424344-4344-4142-4443-424144434241}junk",
                             "41424344--4344-4142-4443-424144434241", "41424344434441424443424144434241"}) {
        GUID g = parse_identifier(text);
        EXPECT_EQ(std::memcmp(&g, &canonical, sizeof g), 0) << text;
    }
    GUID lower = parse_identifier("abcdef01-abcd-ef01-abcd-ef0123456789");
    GUID upper = parse_identifier("ABCDEF01-ABCD-EF01-ABCD-EF0123456789");
    EXPECT_EQ(std::memcmp(&lower, &upper, sizeof lower), 0);
    EXPECT_EQ(lower.Data1, 0xABCDEF01u);
}

TEST(IdentifierText, MissingGroupsStayZeroAndBadDigitsCountAsZero) {
    GUID g = parse_identifier("12345678-9ABC");
    EXPECT_EQ(g.Data1, 0x12345678u);
    EXPECT_EQ(g.Data2, 0x9ABC);
    EXPECT_EQ(g.Data3, 0);
    for (unsigned char b : g.Data4) EXPECT_EQ(b, 0);
    EXPECT_EQ(parse_identifier("1z345678").Data1, 0x10345678u);
    GUID empty = parse_identifier("");
    EXPECT_EQ(empty.Data1, 0u);
}

}  // namespace

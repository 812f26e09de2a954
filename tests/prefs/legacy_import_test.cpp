// The registry key wrapper and the legacy list import, against Wine's
// registry (HKEY_CURRENT_USER redirected to a key of the test's own).
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <random>

#include "../../Helpers/regkey.h"
#include "../../prefs/legacy_import.h"
#include "../../shell/identifier_text.h"
#include "../../shell/list_file.h"
#include "../support/registry_sandbox.h"
#include "../support/test_paths.h"

namespace {

const std::wstring k_key = k_legacy_key_path;

std::vector<std::wstring> seven(const std::wstring& n) {
    return {L"C:\\fx\\" + n + L".dll", L"Product " + n, L"n/a", L"Vendor " + n, L"2/2",
            L"41424344-4344-4142-4443-424144434241", L"config:true"};
}

std::vector<BYTE> bytes_of(const std::wstring& text, bool with_nul = true) {
    std::vector<BYTE> out;
    for (wchar_t u : text) out.insert(out.end(), {static_cast<BYTE>(u & 0xFF), static_cast<BYTE>(u >> 8)});
    if (with_nul) out.insert(out.end(), {0, 0});
    return out;
}

regkey_value value_of(DWORD type, const std::vector<BYTE>& data) {
    regkey_value v;
    v.type = type;
    v.data = data;
    return v;
}

class LegacyImport : public ::testing::Test {
protected:
    entry_list run() {
        entry_list list;
        import_legacy_list(list);
        return list;
    }
    registry_sandbox reg;
};

TEST_F(LegacyImport, MissingKeyIsCreatedEmptyAndYieldsNothing) {
    ASSERT_FALSE(reg.exists(k_key));
    EXPECT_TRUE(run().empty());
    EXPECT_TRUE(reg.exists(k_key));
}

TEST_F(LegacyImport, TakesOnlyMultiStringsNamedWithABrace) {
    reg.set_multi(k_key, L"{a}", seven(L"a"));
    reg.set_multi(k_key, L"plain", seven(L"b"));
    reg.set(k_key, L"{sz}", REG_SZ, bytes_of(L"C:\\fx\\c.dll"));
    reg.set(k_key, L"{dword}", REG_DWORD, {1, 0, 0, 0});
    reg.set(k_key, L"{bin}", REG_BINARY, multi_string_bytes(seven(L"d")));
    reg.set_multi(k_key, L"", seven(L"e"));
    entry_list list = run();
    ASSERT_EQ(list.size(), 1u);
    const entry& e = *list[0];
    EXPECT_EQ(e.module_path, "C:\\fx\\a.dll");
    EXPECT_EQ(e.product_name, "Product a");
    EXPECT_EQ(e.spare_text, "n/a");
    EXPECT_EQ(e.vendor_name, "Vendor a");
    EXPECT_EQ(e.channel_summary, "2/2");
    EXPECT_TRUE(e.identifier == identifier_from_unique_id(0x41424344));
    EXPECT_TRUE(e.has_editor);
}

// Values written in the order of their names come back in that order,
// whether the registry enumerates by name or by age.
TEST_F(LegacyImport, ThirtyValuesInRegistryOrder) {
    auto two_digits = [](int i) {
        return std::wstring{static_cast<wchar_t>(L'0' + i / 10), static_cast<wchar_t>(L'0' + i % 10)};
    };
    for (int i = 0; i < 30; ++i) reg.set_multi(k_key, L"{" + two_digits(i) + L"}", seven(two_digits(i)));
    entry_list list = run();
    ASSERT_EQ(list.size(), 30u);
    const char* const expected[30] = {"00", "01", "02", "03", "04", "05", "06", "07", "08", "09",
                                      "10", "11", "12", "13", "14", "15", "16", "17", "18", "19",
                                      "20", "21", "22", "23", "24", "25", "26", "27", "28", "29"};
    for (std::size_t i = 0; i < 30; ++i) {
        EXPECT_EQ(list[i]->module_path, std::string("C:\\fx\\") + expected[i] + ".dll") << i;
        EXPECT_EQ(list[i]->product_name, std::string("Product ") + expected[i]) << i;
    }
}

// Fields the list file cannot hold are cut to its limit and cleaned, so the
// imported list saves and reads back record for record.
TEST_F(LegacyImport, OverlongAndMultiLineFieldsAreCutAndCleanedAndSaveAsImported) {
    const std::wstring long_name(300, L'n');
    // A surrogate pair that would straddle the limit is left out whole.
    const std::wstring straddling = std::wstring(257, L'v') + L"\xD83D\xDE00" + L"tail";
    reg.set_multi(k_key, L"{1 long}", {L"C:\\fx\\long.dll", long_name, L"n/a", straddling, L"2/2",
                                       L"41424344-4344-4142-4443-424144434241", L"config:true"});
    reg.set_multi(k_key, L"{2 lines}", {L"C:\\fx\\lines.dll", L"Line\nfeed", L"tab\there", L"Ven\rdor\x7F\x85",
                                        L"2/2", L"41424345-4345-4142-4543-424145434241", L"config:false"});
    entry_list list = run();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]->product_name, std::string(258, 'n'));
    EXPECT_EQ(list[0]->vendor_name, std::string(257, 'v'));
    EXPECT_EQ(list[1]->product_name, "Line feed");
    EXPECT_EQ(list[1]->spare_text, "tab here");
    EXPECT_EQ(list[1]->vendor_name, "Ven dor  ");

    temp_folder dir;
    const std::wstring path = dir.file(L"vst_entries.bin");
    ASSERT_TRUE(save_list_file(path, list).saved);
    EXPECT_TRUE(list_file_holds(path, list));
    entry_list loaded;
    load_list_file(path, loaded);
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_EQ(loaded[1]->module_path, "C:\\fx\\lines.dll");
    EXPECT_FALSE(loaded[1]->has_editor);
}

TEST_F(LegacyImport, ShortLongAndEmptyValues) {
    std::vector<std::wstring> long_list = seven(L"long");
    long_list.push_back(L"eighth");
    long_list.push_back(L"ninth");
    reg.set_multi(k_key, L"{1 long}", long_list);
    reg.set_multi(k_key, L"{2 short}", {L"C:\\fx\\short.dll", L"Short"});
    reg.set(k_key, L"{3 empty}", REG_MULTI_SZ, {});
    reg.set(k_key, L"{4 unterminated}", REG_MULTI_SZ, bytes_of(L"C:\\fx\\cut.dll", false));
    entry_list list = run();
    ASSERT_EQ(list.size(), 4u);
    std::map<std::string, const entry*> by_path;
    for (auto& e : list) by_path[e->module_path] = e.get();
    ASSERT_TRUE(by_path.count("C:\\fx\\long.dll"));
    EXPECT_TRUE(by_path["C:\\fx\\long.dll"]->has_editor);
    ASSERT_TRUE(by_path.count("C:\\fx\\cut.dll"));  // the data's end ends the string
    ASSERT_TRUE(by_path.count("C:\\fx\\short.dll"));
    const entry& s = *by_path["C:\\fx\\short.dll"];
    EXPECT_EQ(s.product_name, "Short");
    EXPECT_EQ(s.vendor_name + s.spare_text + s.channel_summary, "");
    EXPECT_FALSE(s.has_editor);
    EXPECT_TRUE(s.identifier == GUID{});
    // The empty value gives a record with every text empty.
    std::size_t blank = 0;
    for (auto& e : list) blank += e->module_path.empty() && e->product_name.empty() && !e->has_editor;
    EXPECT_EQ(blank, 1u);
}

TEST(RegkeyValue, Strings) {
    const std::vector<BYTE> two = multi_string_bytes({L"one", L"two"});
    struct row {
        const char* what;
        regkey_value value;
        std::size_t index;
        const wchar_t* expected;  // null: no string
    } rows[] = {
        {"REG_SZ whole", value_of(REG_SZ, bytes_of(L"a b")), 0, L"a b"},
        {"REG_EXPAND_SZ whole", value_of(REG_EXPAND_SZ, bytes_of(L"%x%")), 0, L"%x%"},
        {"first of two", value_of(REG_MULTI_SZ, two), 0, L"one"},
        {"second of two", value_of(REG_MULTI_SZ, two), 1, L"two"},
        {"third of two", value_of(REG_MULTI_SZ, two), 2, nullptr},
        {"far past two", value_of(REG_MULTI_SZ, two), 9, nullptr},
        {"empty data", value_of(REG_MULTI_SZ, {}), 0, nullptr},
        {"empty REG_SZ data", value_of(REG_SZ, {}), 0, nullptr},
        {"unterminated string", value_of(REG_MULTI_SZ, bytes_of(L"abc", false)), 0, L"abc"},
        {"unterminated REG_SZ", value_of(REG_SZ, bytes_of(L"abc", false)), 0, L"abc"},
        {"unterminated second string", value_of(REG_MULTI_SZ, bytes_of(std::wstring(L"one\0tw", 6), false)), 1, L"tw"},
        {"list without final NUL", value_of(REG_MULTI_SZ, bytes_of(L"abc")), 1, nullptr},
        {"odd byte count", value_of(REG_MULTI_SZ, {'a', 0, 'b'}), 0, L"a"},
        {"empty list", value_of(REG_MULTI_SZ, {0, 0}), 0, L""},
    };
    for (const row& r : rows) {
        const std::optional<std::wstring> s = r.value.string(r.index);
        if (!r.expected) EXPECT_FALSE(s.has_value()) << r.what;
        else if (!s) ADD_FAILURE() << r.what << ": no string";
        else EXPECT_EQ(*s, r.expected) << r.what;
    }
}

TEST(RegkeyValue, WrongTypeThrowsTheAssertionText) {
    for (DWORD type : {DWORD(REG_BINARY), DWORD(REG_DWORD), DWORD(REG_SZ)}) {
        regkey_value v = value_of(type, bytes_of(L"x"));
        try {
            v.string(1);
            ADD_FAILURE() << "type " << type << " did not throw";
        } catch (const wchar_t* text) {
            EXPECT_EQ(std::wstring(text), L"Helpers/regkey(155) : ensure: \"Type == REG_MULTI_SZ\" failed");
        }
    }
}

TEST_F(LegacyImport, IteratorEndAndAdvancingPastIt) {
    reg.set(k_key, L"only", REG_DWORD, {7, 0, 0, 0});
    regkey key(HKEY_CURRENT_USER, k_key, KEY_READ);
    auto it = key.begin();
    ASSERT_NE(it, key.end());
    EXPECT_EQ(it.name(), L"only");
    EXPECT_EQ(it.value().data, (std::vector<BYTE>{7, 0, 0, 0}));
    EXPECT_EQ(it, key.begin());
    ++it;
    EXPECT_EQ(it, key.end());
    EXPECT_EQ(it.index(), 0u);
    try {
        ++it;
        ADD_FAILURE() << "advancing the end did not throw";
    } catch (const wchar_t* text) {
        EXPECT_EQ(std::wstring(text), L"Helpers/regkey(506) : ensure: \"k_\" failed");
    }
}

// Random values of every kind: whatever the registry holds, the import and
// the string reader stay inside each value's data.
TEST_F(LegacyImport, RandomValuesNeverReadPastTheirData) {
    std::mt19937 random(20261205);
    const DWORD types[] = {REG_NONE, REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ, REG_MULTI_SZ,
                           REG_QWORD, 0x1234};
    for (int round = 0; round < 120; ++round) {
        reg.remove(k_key);
        std::size_t expected = 0;
        const int values = static_cast<int>(random() % 7);
        for (int v = 0; v < values; ++v) {
            std::wstring name = (random() % 3 ? L"{" : L"x") + std::to_wstring(round) + L"-" + std::to_wstring(v);
            if (random() % 8 == 0) name = random() % 2 ? L"" : L"{";
            const DWORD type = types[random() % (sizeof types / sizeof types[0])];
            std::vector<BYTE> data(random() % 40);
            for (BYTE& b : data) b = random() % 4 == 0 ? 0 : static_cast<BYTE>(random());
            if (!data.empty() && random() % 2) data.back() = 0;  // sometimes a terminated tail
            reg.set(k_key, name, type, data);
        }
        regkey key(HKEY_CURRENT_USER, k_key, KEY_READ);
        for (auto it = key.begin(); it != key.end(); ++it) {
            const regkey_value& v = it.value();
            if (v.type == REG_MULTI_SZ && !it.name().empty() && it.name()[0] == L'{') ++expected;
            if (v.type != REG_MULTI_SZ) continue;
            // Every string is a run of the value's own units, without a NUL.
            std::wstring units(v.data.size() / 2, L'\0');
            for (std::size_t k = 0; k < units.size(); ++k)
                units[k] = static_cast<wchar_t>(v.data[2 * k] | (v.data[2 * k + 1] << 8));
            for (std::size_t i = 0; i < 10; ++i) {
                const std::optional<std::wstring> s = v.string(i);
                if (!s) continue;
                ASSERT_EQ(s->find(L'\0'), std::wstring::npos) << "round " << round;
                ASSERT_NE(units.find(*s), std::wstring::npos) << "round " << round;
            }
        }
        EXPECT_EQ(run().size(), expected) << "round " << round;
    }
}

}  // namespace

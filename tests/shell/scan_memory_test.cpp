// What a folder scan remembers between scans: its stored form, exact bytes
// and bounds, damaged records not believed, and the configuration variable
// that keeps it.
#include <gtest/gtest.h>

#include "../../Helpers/utf.h"
#include "../../prefs/scan_memory.h"
#include "../../shell/scan_memory_format.h"

namespace {

stored_scan_file effect_file(const std::string& path) {
    stored_scan_file f;
    f.path = path;
    f.size = 0x0102030405060708ull;
    f.last_write = 0x1112131415161718ull;
    f.kind = static_cast<std::uint8_t>(scan_kind::effect);
    f.machine = 0x8664;
    f.has_editor = 1;
    f.identifier.fill(0xAB);
    f.product_name = "Gain";
    f.vendor_name = "V";
    f.channel_summary = "2/2";
    return f;
}

stored_scan_file failed_file(const std::string& path, scan_kind kind, const std::string& detail) {
    stored_scan_file f;
    f.path = path;
    f.size = 1;
    f.last_write = 2;
    f.kind = static_cast<std::uint8_t>(kind);
    f.detail = detail;
    return f;
}

bool same(const stored_scan_file& a, const stored_scan_file& b) {
    return a.path == b.path && a.size == b.size && a.last_write == b.last_write && a.kind == b.kind &&
           a.machine == b.machine && a.has_editor == b.has_editor && a.identifier == b.identifier &&
           a.product_name == b.product_name && a.vendor_name == b.vendor_name &&
           a.channel_summary == b.channel_summary && a.detail == b.detail;
}

TEST(ScanMemoryFormat, ExactBytesOfOneFile) {
    const std::vector<unsigned char> bytes = encode_scan_memory({failed_file("C:\\a.dll", scan_kind::hung, "H")});
    const std::vector<unsigned char> expected = {
        1, 0, 0, 0,                                      // format
        1, 0, 0, 0,                                      // count
        8, 0, 'C', ':', '\\', 'a', '.', 'd', 'l', 'l',   // path
        1, 0, 0, 0, 0, 0, 0, 0,                          // size
        2, 0, 0, 0, 0, 0, 0, 0,                          // last write
        5,                                               // hung
        0, 0,                                            // machine
        0,                                               // no editor
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // identifier
        0, 0, 0,                                         // product, vendor, I/O
        1, 'H'};                                         // detail
    EXPECT_EQ(bytes, expected);
}

TEST(ScanMemoryFormat, WhatIsWrittenReadsBack) {
    const std::vector<stored_scan_file> files = {
        effect_file("C:\\fx\\gain.dll"), failed_file("C:\\fx\\crash.dll", scan_kind::crashed, "crashed"),
        failed_file("D:\\x.dll", scan_kind::not_dll, "An empty file.")};
    std::vector<stored_scan_file> read;
    const std::vector<unsigned char> bytes = encode_scan_memory(files);
    ASSERT_TRUE(decode_scan_memory(bytes.data(), bytes.size(), read));
    ASSERT_EQ(read.size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i) EXPECT_TRUE(same(read[i], files[i])) << i;
}

// Each damage on its own makes the whole record unbelievable.
TEST(ScanMemoryFormat, ADamagedRecordIsNotBelieved) {
    const std::vector<unsigned char> good = encode_scan_memory({effect_file("C:\\a.dll")});
    const std::size_t kind_at = 8 + 2 + 8 + 8 + 8;
    const std::size_t editor_at = kind_at + 3;
    struct damage {
        const char* what;
        std::vector<unsigned char> bytes;
    };
    std::vector<damage> cases;
    auto changed = [&](std::size_t at, unsigned char value) {
        std::vector<unsigned char> b = good;
        b[at] = value;
        return b;
    };
    cases.push_back({"another format", changed(0, 2)});
    cases.push_back({"a count of two", changed(4, 2)});
    cases.push_back({"a count past the bound", changed(5, 0x20)});
    cases.push_back({"a path longer than the record", changed(9, 0x7F)});
    cases.push_back({"an empty path", [&] {
                         std::vector<unsigned char> b(good.begin(), good.begin() + 8);
                         b.insert(b.end(), {0, 0});
                         b.insert(b.end(), good.begin() + 10 + 8, good.end());
                         return b;
                     }()});
    cases.push_back({"a kind no scan remembers", changed(kind_at, 16)});
    cases.push_back({"kind zero", changed(kind_at, 0)});
    cases.push_back({"an editor flag of 2", changed(editor_at, 2)});
    cases.push_back({"cut short", std::vector<unsigned char>(good.begin(), good.end() - 1)});
    cases.push_back({"a byte too many", [&] {
                         std::vector<unsigned char> b = good;
                         b.push_back(0);
                         return b;
                     }()});
    cases.push_back({"no count", std::vector<unsigned char>(good.begin(), good.begin() + 6)});
    for (const damage& d : cases) {
        std::vector<stored_scan_file> out{failed_file("kept", scan_kind::hung, "")};
        EXPECT_FALSE(decode_scan_memory(d.bytes.data(), d.bytes.size(), out)) << d.what;
        ASSERT_EQ(out.size(), 1u) << d.what;
        EXPECT_EQ(out[0].path, "kept") << d.what;
    }
    std::vector<stored_scan_file> out;
    EXPECT_TRUE(decode_scan_memory(good.data(), good.size(), out));
}

// The newest files are kept within the count and the byte bound; files that
// no record can hold are left out.
TEST(ScanMemoryFormat, TheNewestFilesWithinBothBounds) {
    std::vector<stored_scan_file> many;
    for (std::size_t i = 0; i < k_max_stored_scan_files + 10; ++i)
        many.push_back(failed_file("C:\\" + std::to_string(i) + ".dll", scan_kind::not_dll, ""));
    std::vector<stored_scan_file> read;
    std::vector<unsigned char> bytes = encode_scan_memory(many);
    ASSERT_TRUE(decode_scan_memory(bytes.data(), bytes.size(), read));
    ASSERT_EQ(read.size(), k_max_stored_scan_files);
    EXPECT_EQ(read.front().path, "C:\\10.dll");
    EXPECT_EQ(read.back().path, many.back().path);

    std::vector<stored_scan_file> long_paths;
    for (int i = 0; i < 1000; ++i)
        long_paths.push_back(
            failed_file(std::string(1000, 'a') + std::to_string(1000 + i), scan_kind::crashed, std::string(255, 'd')));
    long_paths.push_back(failed_file(std::string(k_max_stored_scan_path + 1, 'x'), scan_kind::crashed, ""));
    bytes = encode_scan_memory(long_paths);
    EXPECT_LE(bytes.size(), k_max_stored_scan_bytes);
    ASSERT_TRUE(decode_scan_memory(bytes.data(), bytes.size(), read));
    const std::size_t one = 2 + 1004 + 8 + 8 + 4 + 16 + 3 + 1 + 255;
    EXPECT_EQ(read.size(), (k_max_stored_scan_bytes - 8) / one);
    EXPECT_EQ(read.back().path, long_paths[999].path);
}

class ScanMemory : public ::testing::Test {
protected:
    ~ScanMemory() override { remembered_scan_files().clear(); }
    void read(const std::vector<unsigned char>& bytes) {
        stream_reader_memblock in(bytes.data(), bytes.size());
        abort_callback_dummy abort;
        remembered_scan_files().read_raw(in, bytes.size(), abort);
    }
};

TEST_F(ScanMemory, FindsAFileOnlyAsItWas) {
    scan_memory& memory = remembered_scan_files();
    memory.update({effect_file("C:\\Fx\\Gain.dll")}, nullptr);
    const stored_scan_file f = effect_file("");
    EXPECT_TRUE(memory.find(L"c:\\fx\\GAIN.DLL", f.size, f.last_write));
    EXPECT_FALSE(memory.find(L"C:\\Fx\\Gain.dll", f.size + 1, f.last_write));
    EXPECT_FALSE(memory.find(L"C:\\Fx\\Gain.dll", f.size, f.last_write + 1));
    EXPECT_FALSE(memory.find(L"C:\\Fx\\Other.dll", f.size, f.last_write));

    // Learnt again, the file is the newest; what `forget` names goes.
    memory.update({failed_file("C:\\b.dll", scan_kind::hung, "")}, nullptr);
    memory.update({effect_file("C:\\fx\\gain.dll")}, [](const std::wstring& p) { return p == L"C:\\b.dll"; });
    EXPECT_EQ(memory.size(), 1u);
}

TEST_F(ScanMemory, ADamagedStoredRecordLeavesItAsItWas) {
    const std::vector<unsigned char> good = encode_scan_memory({effect_file("C:\\a.dll")});
    read(good);
    EXPECT_EQ(remembered_scan_files().size(), 1u);
    std::vector<unsigned char> damaged = good;
    damaged[0] = 9;
    read(damaged);
    EXPECT_EQ(remembered_scan_files().size(), 1u);
    read(encode_scan_memory({}));
    EXPECT_EQ(remembered_scan_files().size(), 0u);

    // What is written is what is read.
    remembered_scan_files().update({failed_file("C:\\x.dll", scan_kind::crashed, "c")}, nullptr);
    stream_writer_buffer_simple out;
    abort_callback_dummy abort;
    remembered_scan_files().write_raw(out, abort);
    EXPECT_EQ(out.data, encode_scan_memory({failed_file("C:\\x.dll", scan_kind::crashed, "c")}));
}

}  // namespace

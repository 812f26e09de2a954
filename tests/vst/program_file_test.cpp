// ".fxp" program files: exact bytes written, and how each kind of file loads.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "../../Helpers/utf.h"
#include "../../vst/program_file.h"
#include "../../vst/vst.h"
#include "../support/linked_host.h"
#include "../support/loaded_plugin.h"
#include "../support/plugin_hooks.h"
#include "../support/plugin_places.h"
#include "../support/program_bytes.h"
#include "../../test_plugins/common/call_log.h"

namespace {

std::uint32_t be32(const std::vector<unsigned char>& b, std::size_t at) {
    return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) | (std::uint32_t{b[at + 2]} << 8) |
           b[at + 3];
}
std::string text4(const std::vector<unsigned char>& b, std::size_t at) {
    return std::string(reinterpret_cast<const char*>(&b[at]), 4);
}
// Program files read and write the same bytes wherever the plug-in runs.
class ProgramFile : public ::testing::TestWithParam<plugin_place> {
protected:
    std::unique_ptr<vst> load(plugin_hooks& dll) { return load_plugin(dll, GetParam()); }
    std::string path(const wchar_t* name) { return wide_to_utf8(files.file(name)); }

    linked_host host;
    temp_folder files;
};

TEST_P(ProgramFile, ParameterPluginSavesSixtyEightBytes) {
    plugin_hooks dll("recorder");
    auto v = load(dll);
    const float values[3] = {0.25f, -1.5f, 0.875f};
    for (int i = 0; i < 3; ++i) v->effect->setParameter(v->effect, i, values[i]);
    save_fxp(*v, path(L"p.fxp"));

    auto b = read_file_bytes(files.file(L"p.fxp"));
    ASSERT_EQ(b.size(), 68u);
    EXPECT_EQ(text4(b, 0), "CcnK");
    EXPECT_EQ(be32(b, 4), 60u);
    EXPECT_EQ(text4(b, 8), "FxCk");
    EXPECT_EQ(be32(b, 12), 1u);
    EXPECT_EQ(be32(b, 16), static_cast<std::uint32_t>(v->effect->uniqueID));
    EXPECT_EQ(be32(b, 20), static_cast<std::uint32_t>(v->effect->version));
    EXPECT_EQ(be32(b, 24), 3u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[28])), "Default");
    for (std::size_t i = 35; i < 56; ++i) EXPECT_EQ(b[i], 0) << i;
    for (int i = 0; i < 3; ++i) {
        std::uint32_t bits;
        std::memcpy(&bits, &values[i], 4);
        EXPECT_EQ(be32(b, 56 + 4 * static_cast<std::size_t>(i)), bits);
    }
}

TEST_P(ProgramFile, ChunkPluginSavesItsProgramChunk) {
    plugin_hooks dll("chunky");
    auto v = load(dll);
    dll.clear();
    save_fxp(*v, path(L"c.fxp"));
    auto b = read_file_bytes(files.file(L"c.fxp"));
    ASSERT_EQ(b.size(), 160u);
    EXPECT_EQ(be32(b, 4), 152u);
    EXPECT_EQ(text4(b, 8), "FPCh");
    EXPECT_EQ(be32(b, 24), 1u);  // the plug-in's parameter count, also in chunk files
    EXPECT_EQ(be32(b, 56), 100u);
    for (std::size_t i = 0; i < 100; ++i) EXPECT_EQ(b[60 + i], static_cast<unsigned char>('P' + i)) << i;
    EXPECT_EQ(dll.opcodes(), (std::vector<std::string>{"5 0 0", "23 1 0"}));
}

TEST_P(ProgramFile, ParameterFileRoundTrip) {
    plugin_hooks dll("recorder");
    auto v = load(dll);
    for (int i = 0; i < 3; ++i) v->effect->setParameter(v->effect, i, 0.1f * static_cast<float>(i + 1));
    save_fxp(*v, path(L"p.fxp"));
    for (int i = 0; i < 3; ++i) v->effect->setParameter(v->effect, i, 0.0f);
    dll.clear();
    load_fxp(*v, path(L"p.fxp"));
    for (int i = 0; i < 3; ++i) EXPECT_FLOAT_EQ(v->effect->getParameter(v->effect, i), 0.1f * static_cast<float>(i + 1));
    EXPECT_EQ(dll.opcodes(), (std::vector<std::string>{"4 0 0"}));
    EXPECT_TRUE(host->popups().messages().empty());
}

TEST_P(ProgramFile, AnotherPluginsFileOrNoProgramFileChangesNothing) {
    plugin_hooks gain("gain"), recorder("recorder");
    auto g = load(gain);
    save_fxp(*g, path(L"gain.fxp"));
    write_file_bytes(files.file(L"x.fxp"), {'R', 'I', 'F', 'F', 0, 0, 0, 0});
    auto r = load(recorder);
    struct { const wchar_t* file; popup_record popup; } cases[] = {
        {L"gain.fxp", {"VST ID mismatch. Most probably, this FXP is for another VST.", "VST ID mismatch",
                       popup_message::icon_error}},
        {L"x.fxp", {"The file you specified is not a valid FXP file.", "Error", popup_message::icon_error}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(wide_to_utf8(c.file));
        host->popups().clear();
        recorder.clear();
        load_fxp(*r, path(c.file));
        EXPECT_TRUE(recorder.log().empty());
        EXPECT_EQ(host->popups().messages(), std::vector<popup_record>{c.popup});
    }
}

TEST_P(ProgramFile, BankFileSetsOnlyTheName) {
    plugin_hooks dll("recorder");
    auto v = load(dll);
    auto b = fxp_header("FBCh", v->effect->uniqueID, 3, "Bank Name");
    put_be32(b, 4);
    put_be32(b, 0x3F800000);
    write_file_bytes(files.file(L"bank.fxb"), b);
    dll.clear();
    load_fxp(*v, path(L"bank.fxb"));
    EXPECT_EQ(dll.log(), (std::vector<std::string>{"dispatch 4 0 0 0"}));
    char name[32] = {};
    v->dispatch(effGetProgramName, 0, 0, name);
    EXPECT_STREQ(name, "Bank Name");
}

// An opaque chunk goes to any plug-in, flag or not, bounded by what the file holds.
TEST_P(ProgramFile, OpaqueChunkGoesEvenToAParameterPluginAndIsBoundedByTheFile) {
    plugin_hooks dll("recorder");
    auto v = load(dll);
    struct { std::uint32_t declared; const char* body; const char* expected; } cases[] = {
        {5, "hello", "24 1 5"}, {0x7FFFFFF0, "0123456789", "24 1 10"}};
    for (const auto& c : cases) {
        auto b = fxp_header("FPCh", v->effect->uniqueID, 0, "Chunk");
        put_be32(b, c.declared);
        put_text(b, c.body);
        write_file_bytes(files.file(L"c.fxp"), b);
        dll.clear();
        load_fxp(*v, path(L"c.fxp"));
        EXPECT_EQ(dll.opcodes(), (std::vector<std::string>{"4 0 0", c.expected})) << c.declared;
    }
}

TEST_P(ProgramFile, ChunkReachesAChunkPluginByteForByte) {
    plugin_hooks dll("chunky");
    auto v = load(dll);
    auto b = fxp_header("FPCh", v->effect->uniqueID, 1, "Chunk");
    put_be32(b, 6);
    put_text(b, "abcdef");
    write_file_bytes(files.file(L"c.fxp"), b);
    dll.clear();
    load_fxp(*v, path(L"c.fxp"));
    char line[64];
    std::snprintf(line, sizeof line, "set chunk 1 6 %08x", log_hash("abcdef", 6));
    EXPECT_EQ(dll.log().back(), line);
}

TEST_P(ProgramFile, TruncatedOrMissingFileRaisesTheHostsError) {
    plugin_hooks dll("recorder");
    auto v = load(dll);
    auto b = fxp_header("FxCk", v->effect->uniqueID, 3, "Short");
    b.resize(20);
    write_file_bytes(files.file(L"short.fxp"), b);
    EXPECT_THROW(load_fxp(*v, path(L"short.fxp")), exception_io);
    EXPECT_THROW(load_fxp(*v, path(L"missing.fxp")), exception_io);

    // Parameters missing from the body: the name and the first value are set.
    auto partial = fxp_header("FxCk", v->effect->uniqueID, 3, "Part");
    put_be32(partial, 0x3F000000);
    write_file_bytes(files.file(L"partial.fxp"), partial);
    dll.clear();
    EXPECT_THROW(load_fxp(*v, path(L"partial.fxp")), exception_io);
    EXPECT_EQ(dll.log(), (std::vector<std::string>{"dispatch 4 0 0 0", "setParameter 0 0.5"}));
    EXPECT_TRUE(host->popups().messages().empty());
}

TEST_P(ProgramFile, NameWithoutTerminatorAndTooManyParameters) {
    plugin_hooks dll("recorder");
    auto v = load(dll);
    auto b = fxp_header("FxCk", v->effect->uniqueID, 1000, std::string(28, 'A'));
    for (int i = 0; i < 1000; ++i) put_be32(b, 0x3E800000);
    write_file_bytes(files.file(L"many.fxp"), b);
    dll.clear();
    load_fxp(*v, path(L"many.fxp"));
    auto log = dll.log();
    ASSERT_EQ(log.size(), 4u);  // the name, then the plug-in's own three parameters
    char name[64] = {};
    v->dispatch(effGetProgramName, 0, 0, name);
    EXPECT_EQ(std::string(name), std::string(kVstMaxProgNameLen, 'A'));
}

ORVANE_IN_BOTH_PLACES(ProgramFile);

}  // namespace

// Mutation loops under Wine for the parsers of outside bytes that need
// Windows and real plug-ins: ".fxp" program files, DSP preset payloads and
// the configuration records the host hands the component. Each run is
// deterministic; a failing round prints the seed and round to replay it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "../../Helpers/utf.h"
#include "../../host/exceptions.h"
#include "../../prefs/advanced_settings.h"
#include "../../prefs/process_choice.h"
#include "../../prefs/scan_memory.h"
#include "../../shell/identifier_text.h"
#include "../../vst/preset_state.h"
#include "../../vst/program_file.h"
#include "../../vst/shared_instances.h"
#include "../../vst/vst.h"
#include "../support/component_fixture.h"
#include "../support/linked_host.h"
#include "../support/mutator.h"
#include "../support/plugin_hooks.h"
#include "../support/settings_restorer.h"

namespace {

// A short run by default; ORVANE_MUTATION_ROUNDS asks for a longer one.
int rounds() {
    const char* asked = std::getenv("ORVANE_MUTATION_ROUNDS");
    const int n = asked ? std::atoi(asked) : 0;
    return n > 0 ? n : 150;
}

// After any input the plug-in is still whole: its record and its answers.
void expect_plugin_sound(vst& v, std::int32_t params, const std::string& round) {
    ASSERT_NE(v.effect, nullptr) << round;
    EXPECT_EQ(v.effect->numParams, params) << round;
    for (std::int32_t i = 0; i < params; ++i) v.effect->getParameter(v.effect, i);
    char name[64] = {};
    v.dispatch(effGetProgramName, 0, 0, name);
    EXPECT_LT(std::strlen(name), sizeof name) << round;
}

std::vector<unsigned char> bytes_of(const dsp_preset& p) {
    const auto* d = static_cast<const unsigned char*>(p.get_data());
    return std::vector<unsigned char>(d, d + p.get_data_size());
}

class MutationLoop : public ::testing::TestWithParam<const char*> {
protected:
    settings_restorer keep_settings;
    linked_host host;
    temp_folder files;
};

TEST_P(MutationLoop, ProgramFiles) {
    plugin_hooks dll(GetParam());
    auto v = std::make_unique<vst>(entry(dll.path_utf8()), false);
    ASSERT_TRUE(v->loaded) << v->diagnosis;
    const std::int32_t params = v->effect->numParams;
    const std::string path = wide_to_utf8(files.file(L"seed.fxp"));
    save_fxp(*v, path);
    const std::vector<unsigned char> seed = read_file_bytes(files.file(L"seed.fxp"));
    ASSERT_GT(seed.size(), 56u);

    mutator m(0xF8A0);
    for (int round = 0; round < rounds(); ++round) {
        const std::vector<unsigned char> input = m.mutate(seed);
        write_file_bytes(files.file(L"m.fxp"), input);
        try {
            load_fxp(*v, wide_to_utf8(files.file(L"m.fxp")));
        } catch (const exception_io&) {
            // A file cut short is the host's I/O error, as for any reader.
        }
        expect_plugin_sound(*v, params, "round " + std::to_string(round));
        if (::testing::Test::HasFatalFailure()) return;
    }
}

TEST_P(MutationLoop, PresetPayloads) {
    plugin_hooks dll(GetParam());
    entry configured(dll.path_utf8());
    const GUID owner = identifier_from_unique_id(0x1234);
    vst* v = acquire_vst(configured, dsp_preset_impl(owner, {1, 0, 0, 0}));
    ASSERT_TRUE(v->loaded) << v->diagnosis;
    const std::int32_t params = v->effect->numParams;
    dsp_preset_impl captured;
    capture_preset(*v, owner, captured);
    const std::vector<unsigned char> seed = bytes_of(captured);

    mutator m(0x9E5E7);
    for (int round = 0; round < rounds(); ++round) {
        const std::vector<unsigned char> input = m.mutate(seed);
        apply_preset(*v, dsp_preset_impl(owner, input));
        expect_plugin_sound(*v, params, "round " + std::to_string(round));
        dsp_preset_impl again;
        capture_preset(*v, owner, again);
        EXPECT_GE(again.get_data_size(), 4u) << round;
        if (::testing::Test::HasFatalFailure()) break;
    }
    release_vst(v);
}

INSTANTIATE_TEST_SUITE_P(TestPlugins, MutationLoop, ::testing::Values("gain", "chunky"));

// What the configuration should leave in the settings and the choice of
// each plug-in's process, worked out independently: complete records in
// order, the last believed one of a variable wins, reading stops at the
// first record cut short. An integer takes the first 8 bytes of a body of
// at least 8, unclipped; the checkbox one byte of 0 or 1 in a body of
// exactly one; the choice a count and exactly that many identifiers, the
// first of each kind, and the marks of those moved after a crash likewise,
// of which only the chosen count.
struct expected_settings {
    std::uint64_t limit = 6;
    std::uint64_t declick = 4;
    bool every_plugin = false;
    std::vector<GUID> own;
    std::vector<GUID> marked;
    std::vector<GUID> moved() const {
        std::vector<GUID> out;
        for (const GUID& g : marked)
            if (std::find(own.begin(), own.end(), g) != own.end()) out.push_back(g);
        return out;
    }
};

// A record of identifiers, if it is whole.
bool read_identifiers(const unsigned char* body, std::uint32_t size, std::vector<GUID>& out) {
    std::uint32_t count = 0;
    if (size < 4) return false;
    std::memcpy(&count, body, 4);
    if (std::uint64_t{count} * 16 + 4 != size) return false;
    out.clear();
    for (std::uint32_t i = 0; i < count && out.size() < 1024; ++i) {
        GUID g;
        std::memcpy(&g, body + 4 + 16 * i, 16);
        if (std::find(out.begin(), out.end(), g) == out.end()) out.push_back(g);
    }
    return true;
}

expected_settings expected_from(const std::vector<unsigned char>& config) {
    static const unsigned char limit_id[16] = {0x78, 0x52, 0x84, 0x0B, 0xEA, 0x89, 0xFC, 0x46,
                                               0xBE, 0x6F, 0x6D, 0x11, 0x1F, 0xFE, 0x94, 0x8C};
    static const unsigned char declick_id[16] = {0xF8, 0x8E, 0x04, 0xF0, 0xF0, 0x9E, 0x7E, 0x4D,
                                                 0xA2, 0x4C, 0x55, 0x63, 0xE0, 0xFF, 0xA0, 0x9E};
    expected_settings e;
    std::size_t at = 0;
    while (config.size() - at >= 20) {
        const unsigned char* id = &config[at];
        std::uint32_t size = 0;
        std::memcpy(&size, &config[at + 16], 4);
        at += 20;
        if (config.size() - at < size) break;
        const bool limit = std::memcmp(id, limit_id, 16) == 0, declick = std::memcmp(id, declick_id, 16) == 0;
        if ((limit || declick) && size >= 8 && size <= (1u << 20)) {
            std::uint64_t v = 0;
            std::memcpy(&v, &config[at], 8);
            (limit ? e.limit : e.declick) = v;
        }
        if (std::memcmp(id, &k_every_plugin_record, 16) == 0 && size == 1 && config[at] <= 1)
            e.every_plugin = config[at] == 1;
        if (std::memcmp(id, &k_process_choice_record, 16) == 0) read_identifiers(&config[at], size, e.own);
        if (std::memcmp(id, &k_moved_after_crash_record, 16) == 0) read_identifiers(&config[at], size, e.marked);
        at += size;
    }
    return e;
}

TEST(ConfigurationMutationLoop, SettingsTakeExactlyTheCompleteRecords) {
    settings_restorer keep_settings;
    std::vector<unsigned char> seed = settings_configuration(12, 300);
    const std::vector<unsigned char> choice =
        process_configuration({plugin_guid(0x41), plugin_guid(0x42), plugin_guid(0x41)}, true, {plugin_guid(0x42)});
    seed.insert(seed.end(), choice.begin(), choice.end());
    mutator m(0xC0F16);
    for (int round = 0; round < rounds(); ++round) {
        const std::vector<unsigned char> input = m.mutate(seed);
        // Every round starts from the defaults, as a fresh process would.
        output_number_limit_setting().reset();
        declicker_size_setting().reset();
        every_plugin_in_own_process_setting().reset();
        own_process_choice().assign({});
        remembered_scan_files().clear();
        temp_folder profile;
        host_options o;
        o.linked_entry = &velmora_get_interface;
        o.profile_folder = profile.utf8();
        o.configuration = input;
        component_host h(o);
        h.start();
        const expected_settings e = expected_from(input);
        EXPECT_EQ(output_number_limit_setting().get_value(), e.limit) << "round " << round;
        EXPECT_EQ(declicker_size_setting().get_value(), e.declick) << "round " << round;
        EXPECT_EQ(every_plugin_in_own_process_setting().get_state(), e.every_plugin) << "round " << round;
        EXPECT_EQ(own_process_choice().chosen(), e.own) << "round " << round;
        EXPECT_EQ(own_process_choice().moved(), e.moved()) << "round " << round;
        // Two integers, the choice and its marks, five checkboxes, and the
        // empty record of what folder scans remember.
        EXPECT_EQ(h.save_configuration().size(), 2u * (16 + 4 + 8) + (16 + 4 + 4 + 16 * e.own.size()) +
                                                     (16 + 4 + 4 + 16 * e.moved().size()) + 5u * (16 + 4 + 1) +
                                                     (16 + 4 + 8))
            << "round " << round;
    }
}

}  // namespace

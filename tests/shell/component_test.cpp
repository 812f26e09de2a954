// The component as the player sees it: export, client object, registered
// services and configuration, all through the DLL.
#include <gtest/gtest.h>

#include <cstring>

#include "../../host/advconfig.h"
#include "../../host/component_info.h"
#include "../../host/dsp.h"
#include "../../cli/script_receivers.h"
#include "../../host_standin/component_host.h"
#include "../support/component_fixture.h"
#include "../support/list_writer.h"
#include "../support/test_paths.h"

namespace {

const GUID k_output_limit = {0x0B845278, 0x89EA, 0x46FC, {0xBE, 0x6F, 0x6D, 0x11, 0x1F, 0xFE, 0x94, 0x8C}};
const GUID k_declicker = {0xF0048EF8, 0x9EF0, 0x4D7E, {0xA2, 0x4C, 0x55, 0x63, 0xE0, 0xFF, 0xA0, 0x9E}};
const GUID k_restart = {0xF1EDE3B9, 0x835A, 0x417E, {0x87, 0xFB, 0xBD, 0x87, 0xCB, 0x5D, 0xAA, 0x15}};
const GUID k_isolate_after_crash = {0x7F1CE303, 0x1C5B, 0x48E0, {0x8A, 0xD9, 0x1E, 0xC1, 0xF3, 0x27, 0xBB, 0xFB}};

class Component : public ::testing::Test {
protected:
    void write_plugins(int count) {
        std::vector<list_record> records;
        for (int i = 0; i < count; ++i)
            records.push_back({"fx" + std::to_string(i) + ".dll", "Effect " + std::to_string(i),
                               identifier_text(1000 + static_cast<unsigned>(i))});
        write_list_file(profile.file(L"vst_entries.bin"), records);
    }
    component_host& start(std::vector<unsigned char> configuration = {}) {
        host_options o;
        o.component_path = component_dll();
        o.profile_folder = profile.utf8();
        o.configuration = std::move(configuration);
        host = std::make_unique<component_host>(o);
        host->start();
        return *host;
    }
    std::vector<std::string> effect_names() {
        std::vector<std::string> names;
        for (auto& e : host->services<dsp_entry>()) {
            string8 n;
            e->get_name(n);
            names.push_back(n.str());
        }
        return names;
    }
    service_ptr_t<advconfig_entry_string> setting(const char* name) {
        for (auto& s : host->services<advconfig_entry>()) {
            service_ptr_t<advconfig_entry_string> v;
            string8 n;
            s->get_name(n);
            if (n.str() == name && s.query_as(v)) return v;
        }
        return {};
    }
    service_ptr_t<advconfig_entry_checkbox> setting_checkbox() {
        for (auto& s : host->services<advconfig_entry>()) {
            service_ptr_t<advconfig_entry_checkbox> v;
            string8 n;
            s->get_name(n);
            if (n.str() == "Run every plug-in in its own process" && s.query_as(v)) return v;
        }
        ADD_FAILURE() << "no such checkbox";
        return {};
    }
    std::size_t list_length() {
        std::size_t n = 0;
        for (service_factory_base* f = host->client().service_list(); f; f = f->next) ++n;
        return n;
    }

    temp_folder profile;
    std::unique_ptr<component_host> host;
};

TEST_F(Component, IdentityAndClient) {
    start();
    string8 name, version, file;
    auto info = host->service<componentversion>();
    info->get_component_name(name);
    info->get_component_version(version);
    info->get_file_name(file);
    EXPECT_EQ(name.str(), "Orvane");
    EXPECT_EQ(version.str(), "0.8.0.1");
    EXPECT_EQ(file.str(), "vel_vst.dll");
    EXPECT_EQ(host->client().version(), 76u);
    EXPECT_FALSE(host->client().is_debug_build());
    EXPECT_TRUE(host->service<component_installation_validator>()->is_installed_correctly());
}

TEST_F(Component, NoListMeansNoEffectsButFixedServices) {
    start();
    EXPECT_TRUE(effect_names().empty());
    EXPECT_EQ(host->services<componentversion>().size(), 1u);
    EXPECT_EQ(host->services<component_installation_validator>().size(), 1u);
    EXPECT_EQ(host->services<advconfig_entry>().size(), 8u);
}

TEST_F(Component, OneSlotPerEntryUpToTwenty) {
    for (int count : {0, 1, 20, 25}) {
        write_plugins(count);
        start();
        std::vector<std::string> names = effect_names();
        ASSERT_EQ(names.size(), static_cast<std::size_t>(count < 20 ? count : 20)) << count;
        std::sort(names.begin(), names.end());
        std::vector<std::string> expected;
        for (int i = 0; i < (count < 20 ? count : 20); ++i) expected.push_back("Effect " + std::to_string(i));
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(names, expected);
        host.reset();
    }
}

TEST_F(Component, SecondExportCallRegistersNothingTwice) {
    write_plugins(5);
    start();
    std::size_t before = list_length();
    HMODULE module = GetModuleHandleW(component_dll().c_str());
    ASSERT_NE(module, nullptr);
    auto entry = reinterpret_cast<velmora_get_interface_fn>(
        reinterpret_cast<void*>(GetProcAddress(module, "velmora_get_interface")));
    ASSERT_NE(entry, nullptr);
    write_plugins(8);
    velmora_client* again = entry(&host->api(), module);
    EXPECT_EQ(again, &host->client());
    // Slots 5 to 7 are new; slots 0 to 4 are not linked a second time.
    EXPECT_EQ(list_length(), before + 3);
}

TEST_F(Component, InstalledCorrectlyOnlyUnderItsOwnName) {
    start();
    auto validator = host->service<component_installation_validator>();
    struct { const char* path; bool ok; } cases[] = {
        {"C:\\Velmora\\components\\vel_vst.dll", true}, {"C:/Velmora/vel_vst.dll", true},
        {"zip|archive|vel_vst.dll", true},               {"C:vel_vst.dll", true},
        {"vel_vst.dll", true},                           {"C:\\Velmora\\VEL_VST.dll", false},
        {"C:\\Velmora\\vel_vst.dll.bak", false},         {"C:\\vel_vst.dll\\other.dll", false},
    };
    for (const auto& c : cases) {
        host->client().set_library_path(c.path, "x");
        EXPECT_EQ(validator->is_installed_correctly(), c.ok) << c.path;
    }
}

TEST_F(Component, ConfigurationRoundTrip) {
    start();
    setting("Output number limit")->set_state("12", 2);
    setting("Declicker size")->set_state("300", 3);
    std::vector<unsigned char> saved = host->save_configuration();
    const auto records = configuration_records(saved);
    ASSERT_EQ(records.size(), 10u);
    EXPECT_EQ(records.at(k_output_limit), (std::vector<unsigned char>{12, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(records.at(k_declicker), (std::vector<unsigned char>{0x2C, 1, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(records.at(k_process_choice_record), (std::vector<unsigned char>{0, 0, 0, 0}));
    EXPECT_EQ(records.at(k_every_plugin_record), std::vector<unsigned char>{0});
    EXPECT_EQ(records.at(k_match_channels_record), std::vector<unsigned char>{0});
    EXPECT_EQ(records.at(k_report_delay_record), std::vector<unsigned char>{0});
    EXPECT_EQ(records.at(k_restart), std::vector<unsigned char>{1});
    EXPECT_EQ(records.at(k_isolate_after_crash), std::vector<unsigned char>{1});
    EXPECT_EQ(records.at(k_moved_after_crash_record), (std::vector<unsigned char>{0, 0, 0, 0}));
    // Format 1, no file remembered yet.
    EXPECT_EQ(records.at(k_scan_memory_record), (std::vector<unsigned char>{1, 0, 0, 0, 0, 0, 0, 0}));
    host.reset();

    start(saved);
    string8 limit, declick;
    setting("Output number limit")->get_state(limit);
    setting("Declicker size")->get_state(declick);
    EXPECT_EQ(limit.str(), "12");
    EXPECT_EQ(declick.str(), "300");
}

// Where each plug-in runs is the user's: it comes back with the stored
// configuration the player hands the component.
TEST_F(Component, WhereEachPluginRunsSurvivesARestart) {
    write_plugins(3);
    start();
    auto scripting = host->service<vst_scripting>();
    text_receiver error;
    entry_receiver changed;
    for (std::uint32_t position : {2u, 0u})
        ASSERT_EQ(scripting->set_own_process(position, plugin_guid(1000 + position), 1, changed, error), vst_script_ok)
            << error.text;
    setting_checkbox()->set_state(true);
    const std::vector<unsigned char> saved = host->save_configuration();
    const auto records = configuration_records(saved);
    EXPECT_EQ(records.at(k_process_choice_record), process_choice_body({plugin_guid(1002), plugin_guid(1000)}));
    EXPECT_EQ(records.at(k_every_plugin_record), std::vector<unsigned char>{1});
    scripting.reset();
    host.reset();

    start(saved);
    EXPECT_TRUE(setting_checkbox()->get_state());
    scripting = host->service<vst_scripting>();
    entry_receiver listed;
    ASSERT_EQ(scripting->list(listed, error), vst_script_ok) << error.text;
    ASSERT_EQ(listed.entries.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(listed.entries[i].own_process_chosen, i != 1) << i;
        EXPECT_TRUE(listed.entries[i].own_process) << i;  // every plug-in does
    }
    scripting.reset();
    host.reset();

    // A damaged choice is not believed, and the records after it still are.
    std::vector<unsigned char> damaged = process_configuration({plugin_guid(1001)}, true);
    damaged[20] = 2;  // two identifiers said, one there
    start(damaged);
    EXPECT_EQ(configuration_records(host->save_configuration()).at(k_process_choice_record),
              process_choice_body({}));
    EXPECT_TRUE(setting_checkbox()->get_state());
}

TEST_F(Component, UnknownAndDamagedRecordsAreSkipped) {
    start();
    setting("Declicker size")->set_state("77", 2);
    std::vector<unsigned char> known = host->save_configuration();
    host.reset();

    std::vector<unsigned char> config;
    // An unknown record of 5 bytes, then the known ones, then a short tail.
    config.insert(config.end(), 16, 0xAB);
    config.insert(config.end(), {5, 0, 0, 0, 1, 2, 3, 4, 5});
    config.insert(config.end(), known.begin(), known.end());
    config.insert(config.end(), {1, 2, 3});
    start(config);
    string8 declick;
    setting("Declicker size")->get_state(declick);
    EXPECT_EQ(declick.str(), "77");
}

TEST_F(Component, RecordShorterThanTheValueKeepsTheDefault) {
    start();
    std::vector<unsigned char> known = host->save_configuration();
    host.reset();
    // Cut the first record's value to 4 bytes and say so in its size.
    std::vector<unsigned char> config(known.begin(), known.begin() + 16);
    config.insert(config.end(), {4, 0, 0, 0, 9, 9, 9, 9});
    start(config);
    for (const char* name : {"Output number limit", "Declicker size"}) {
        string8 state, def;
        setting(name)->get_state(state);
        service_ptr_t<advconfig_entry_string_v2> v2;
        ASSERT_TRUE(setting(name).query_as(v2));
        v2->get_default_state(def);
        EXPECT_EQ(state.str(), def.str()) << name;
    }
}

}  // namespace

// The advanced settings: names, defaults, parsing, clipping and the stored
// form.
#include <gtest/gtest.h>

#include "../../host/string_base.h"
#include "../../prefs/advanced_settings.h"
#include "../../shell/factory_list.h"
#include "../support/settings_restorer.h"

namespace {

std::string state_of(advconfig_entry_integer_impl& s) {
    string8 out;
    s.get_state(out);
    return out.str();
}

void set_text(advconfig_entry_integer_impl& s, const std::string& text) { s.set_state(text.c_str(), text.size()); }

class AdvancedSettings : public ::testing::Test {
protected:
    settings_restorer keep_settings;
};

// The player keeps users' values under these GUIDs, below this branch: a
// typo in any of them loses every stored setting.
TEST_F(AdvancedSettings, NamesDefaultsAndFlags) {
    const GUID branch_guid = {0xED53CCA9, 0x658F, 0x421F, {0x83, 0x93, 0xD3, 0x62, 0xCE, 0xB5, 0x52, 0x0B}};
    const GUID player_branch = {0x34949F34, 0xE655, 0x4F09, {0xBA, 0x50, 0xFA, 0xEB, 0x4D, 0x9B, 0x77, 0x69}};
    service_ptr_t<advconfig_branch> branch;
    for (service_factory_base* f = factory_list_head(); f && !branch; f = f->next) {
        if (f->class_guid != advconfig_entry::class_guid) continue;
        service_ptr_t<advconfig_entry> e = service_ptr_t<advconfig_entry>::adopt(
            static_cast<advconfig_entry*>(f->create_instance()));
        e.query_as(branch);
    }
    ASSERT_TRUE(branch);
    string8 branch_name;
    branch->get_name(branch_name);
    EXPECT_EQ(branch_name.str(), "VST");
    EXPECT_EQ(branch->get_guid(), branch_guid);
    EXPECT_EQ(branch->get_parent(), player_branch);
    EXPECT_EQ(branch->get_sort_priority(), 0.0);

    struct row {
        advconfig_entry_integer_impl& setting;
        const char* name;
        GUID guid;
        const char* default_text;
    } rows[] = {
        {output_number_limit_setting(), "Output number limit",
         {0x0B845278, 0x89EA, 0x46FC, {0xBE, 0x6F, 0x6D, 0x11, 0x1F, 0xFE, 0x94, 0x8C}}, "6"},
        {declicker_size_setting(), "Declicker size",
         {0xF0048EF8, 0x9EF0, 0x4D7E, {0xA2, 0x4C, 0x55, 0x63, 0xE0, 0xFF, 0xA0, 0x9E}}, "4"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        string8 name, def;
        r.setting.get_name(name);
        EXPECT_EQ(name.str(), r.name);
        EXPECT_EQ(r.setting.get_guid(), r.guid);
        EXPECT_EQ(r.setting.get_parent(), branch_guid);
        EXPECT_EQ(state_of(r.setting), r.default_text);
        r.setting.get_default_state(def);
        EXPECT_EQ(def.str(), r.default_text);
        EXPECT_EQ(r.setting.get_flags(), 1u);
        EXPECT_EQ(r.setting.get_preferences_flags(), 0u);
        EXPECT_EQ(r.setting.get_sort_priority(), 0.0);
    }
}

// The checkboxes. Those that change what the player sees are off unless
// the user turns them on: "Run every plug-in in its own process", "Match
// plug-in channels to the stream" and "Report plug-in delay to the player".
// Those that keep a plug-in that stopped from costing the user its effect
// are on.
TEST_F(AdvancedSettings, CheckboxesAndTheirDefaults) {
    const GUID branch_guid = {0xED53CCA9, 0x658F, 0x421F, {0x83, 0x93, 0xD3, 0x62, 0xCE, 0xB5, 0x52, 0x0B}};
    struct row {
        advconfig_entry_checkbox_impl& setting;
        const char* name;
        GUID guid;
        bool on;
    } rows[] = {
        {every_plugin_in_own_process_setting(), "Run every plug-in in its own process",
         {0x85CE8811, 0xC1F5, 0x4461, {0x96, 0x70, 0xF7, 0x7D, 0x86, 0xAE, 0x2B, 0x6D}}, false},
        {match_channels_setting(), "Match plug-in channels to the stream",
         {0xF3ADE0D4, 0x5BF5, 0x4CB0, {0x9C, 0x2A, 0x71, 0x4F, 0x38, 0x0E, 0xCE, 0x8F}}, false},
        {report_delay_setting(), "Report plug-in delay to the player",
         {0x99FB442E, 0xB065, 0x4298, {0x9B, 0x5D, 0x30, 0x88, 0xF5, 0xD2, 0xC0, 0x01}}, false},
        {restart_plugins_setting(), "Restart plug-ins that stop in their own process",
         {0xF1EDE3B9, 0x835A, 0x417E, {0x87, 0xFB, 0xBD, 0x87, 0xCB, 0x5D, 0xAA, 0x15}}, true},
        {isolate_after_crash_setting(), "Move a plug-in that crashed into its own process",
         {0x7F1CE303, 0x1C5B, 0x48E0, {0x8A, 0xD9, 0x1E, 0xC1, 0xF3, 0x27, 0xBB, 0xFB}}, true},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        advconfig_entry_checkbox_impl& box = r.setting;
        string8 name;
        box.get_name(name);
        EXPECT_EQ(name.str(), r.name);
        EXPECT_EQ(box.get_guid(), r.guid);
        EXPECT_EQ(box.get_parent(), branch_guid);
        EXPECT_EQ(box.get_sort_priority(), 0.0);
        // The unit tests start with restarts and moves off (fault_settings.h).
        box.reset();
        EXPECT_EQ(box.get_state(), r.on);
        EXPECT_EQ(box.get_default_state(), r.on);
        EXPECT_EQ(box.get_preferences_flags(), 0u);
        box.set_state(!r.on);
        EXPECT_EQ(box.get_state(), !r.on);
        box.reset();
        EXPECT_EQ(box.get_state(), r.on);

        // The host tells the kinds of entries apart by what they answer.
        service_base* out = nullptr;
        EXPECT_TRUE(box.query(out, advconfig_entry_checkbox_v2::class_guid));
        EXPECT_TRUE(box.query(out, advconfig_entry_checkbox::class_guid));
        EXPECT_TRUE(box.query(out, advconfig_entry::class_guid));
        EXPECT_FALSE(box.query(out, advconfig_entry_string::class_guid));
        EXPECT_FALSE(box.query(out, advconfig_branch::class_guid));
    }
}

TEST_F(AdvancedSettings, ValuesAreClippedBothWays) {
    auto& limit = output_number_limit_setting();
    auto& declick = declicker_size_setting();
    set_text(limit, "0");
    EXPECT_EQ(state_of(limit), "1");
    set_text(limit, "100");
    EXPECT_EQ(state_of(limit), "32");
    set_text(declick, "5000");
    EXPECT_EQ(state_of(declick), "1000");
    set_text(declick, "0");
    EXPECT_EQ(state_of(declick), "0");
}

TEST_F(AdvancedSettings, TextParsesFromTheLeadingDigits) {
    EXPECT_EQ(parse_setting_text("12abc", 5), 12u);
    EXPECT_EQ(parse_setting_text("12x34", 5), 12u);
    EXPECT_EQ(parse_setting_text("abc", 3), 0u);
    EXPECT_EQ(parse_setting_text("-5", 2), 0u);
    EXPECT_EQ(parse_setting_text(" 7", 2), 0u);
    EXPECT_EQ(parse_setting_text("", 0), 0u);
    EXPECT_EQ(parse_setting_text("1234", 2), 12u);              // length ends the text
    EXPECT_EQ(parse_setting_text("12\0" "34", 5), 12u);          // so does a NUL
    EXPECT_EQ(parse_setting_text("18446744073709551617", 20), 1u);  // wraps

    auto& limit = output_number_limit_setting();
    auto& declick = declicker_size_setting();
    set_text(limit, "12abc");
    EXPECT_EQ(state_of(limit), "12");
    for (const char* bad : {"abc", "-5", " 7"}) {
        set_text(limit, bad);
        EXPECT_EQ(state_of(limit), "1") << bad;
        set_text(declick, bad);
        EXPECT_EQ(state_of(declick), "0") << bad;
    }
}

TEST_F(AdvancedSettings, ValidateRewritesTheText) {
    string8 text("077x");
    output_number_limit_setting().validate(text);
    EXPECT_EQ(text.str(), "32");
    text.set_string("abc");
    declicker_size_setting().validate(text);
    EXPECT_EQ(text.str(), "0");
}

TEST_F(AdvancedSettings, ResetRestoresDefault) {
    auto& limit = output_number_limit_setting();
    set_text(limit, "3");
    limit.reset();
    EXPECT_EQ(state_of(limit), "6");
}

TEST_F(AdvancedSettings, StoredFormIsEightBytesLittleEndian) {
    auto& declick = declicker_size_setting();
    set_text(declick, "513");
    cfg_var_writer* writer = cfg_var_writer::head;
    while (writer && writer->guid != declick.get_guid()) writer = writer->next;
    ASSERT_NE(writer, nullptr);
    stream_writer_buffer_simple out;
    abort_callback_dummy abort;
    writer->write_raw(out, abort);
    EXPECT_EQ(out.data, (std::vector<unsigned char>{0x01, 0x02, 0, 0, 0, 0, 0, 0}));
}

}  // namespace

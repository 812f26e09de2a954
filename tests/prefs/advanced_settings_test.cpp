// The two advanced settings: parsing, clipping and the stored form.
#include <gtest/gtest.h>

#include "../../host/string_base.h"
#include "../../prefs/advanced_settings.h"
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

TEST_F(AdvancedSettings, NamesDefaultsAndFlags) {
    auto& limit = output_number_limit_setting();
    auto& declick = declicker_size_setting();
    string8 name, def;
    limit.get_name(name);
    EXPECT_EQ(name.str(), "Output number limit");
    declick.get_name(name);
    EXPECT_EQ(name.str(), "Declicker size");
    EXPECT_EQ(state_of(limit), "6");
    EXPECT_EQ(state_of(declick), "4");
    limit.get_default_state(def);
    EXPECT_EQ(def.str(), "6");
    declick.get_default_state(def);
    EXPECT_EQ(def.str(), "4");
    EXPECT_EQ(limit.get_flags(), 1u);
    EXPECT_EQ(limit.get_preferences_flags(), 0u);
    EXPECT_EQ(limit.get_parent(), declick.get_parent());
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

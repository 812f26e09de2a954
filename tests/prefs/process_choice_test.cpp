// Where each plug-in runs: the stored form of the set of plug-ins chosen to
// run in a process of their own, its bounds, the setting over it, what a
// plug-in loaded afterwards does with both, and the mark of a plug-in moved
// there after a crash.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <thread>

#include "../../Helpers/utf.h"
#include "../../prefs/advanced_settings.h"
#include "../../prefs/process_choice.h"
#include "../../prefs/process_column.h"
#include "../../shell/identifier_set_format.h"
#include "../../vst/pe_machine.h"
#include "../../vst/vst.h"
#include "../support/component_fixture.h"
#include "../support/linked_host.h"
#include "../support/settings_restorer.h"

namespace {

using bytes = std::vector<unsigned char>;

// An identifier whose bytes run from `first` upwards.
config_identifier counting_from(unsigned first) {
    config_identifier id;
    for (unsigned i = 0; i < 16; ++i) id[i] = static_cast<unsigned char>(first + i);
    return id;
}

GUID guid_of(const config_identifier& id) {
    GUID g;
    std::memcpy(&g, id.data(), sizeof g);
    return g;
}

// A record body as the test states it: the count as written, then the
// identifiers.
bytes body(std::uint32_t count, const std::vector<config_identifier>& ids) {
    bytes out{static_cast<unsigned char>(count), static_cast<unsigned char>(count >> 8),
              static_cast<unsigned char>(count >> 16), static_cast<unsigned char>(count >> 24)};
    for (const config_identifier& id : ids) out.insert(out.end(), id.begin(), id.end());
    return out;
}

const config_identifier a = counting_from(0x10), b = counting_from(0x20), c = counting_from(0x30);

TEST(IdentifierSet, StoredAsACountAndTheIdentifiers) {
    EXPECT_EQ(encode_identifier_set({}), (bytes{0, 0, 0, 0}));
    bytes two{2, 0, 0, 0};
    for (unsigned i = 0x10; i < 0x20; ++i) two.push_back(static_cast<unsigned char>(i));
    for (unsigned i = 0x20; i < 0x30; ++i) two.push_back(static_cast<unsigned char>(i));
    EXPECT_EQ(encode_identifier_set({a, b}), two);
}

TEST(IdentifierSet, ADamagedRecordIsRefusedAndTheSetKept) {
    bytes cut = body(1, {a});
    cut.pop_back();
    struct {
        const char* what;
        bytes stored;
        bool read;
        std::vector<config_identifier> result;
    } cases[] = {
        {"no identifiers", body(0, {}), true, {}},
        {"two", body(2, {a, b}), true, {a, b}},
        {"a repeat counts once", body(3, {a, b, a}), true, {a, b}},
        {"fewer than its count", body(2, {a}), false, {c}},
        {"more than its count", body(1, {a, b}), false, {c}},
        {"a count and nothing", body(1, {}), false, {c}},
        {"part of an identifier", cut, false, {c}},
        {"a count past any size", body(0x10000001u, {a}), false, {c}},
        {"less than a count", {1, 0, 0}, false, {c}},
        {"nothing", {}, false, {c}},
    };
    for (const auto& t : cases) {
        std::vector<config_identifier> out{c};
        EXPECT_EQ(decode_identifier_set(t.stored.data(), t.stored.size(), out), t.read) << t.what;
        EXPECT_EQ(out, t.result) << t.what;
    }
}

TEST(IdentifierSet, AnOversizedRecordIsCutToTheBound) {
    std::vector<config_identifier> many;
    for (unsigned i = 0; i < 1030; ++i) {
        config_identifier id{};
        id[0] = static_cast<unsigned char>(i);
        id[1] = static_cast<unsigned char>(i >> 8);
        many.push_back(id);
    }
    const bytes stored = body(1030, many);
    std::vector<config_identifier> out;
    ASSERT_TRUE(decode_identifier_set(stored.data(), stored.size(), out));
    EXPECT_EQ(out, std::vector<config_identifier>(many.begin(), many.begin() + 1024));
    EXPECT_EQ(encode_identifier_set(many), body(1024, out));
}

class ProcessChoice : public ::testing::Test {
protected:
    static cfg_var_reader& reader_of(const GUID& guid) {
        cfg_var_reader* r = cfg_var_reader::head;
        while (r && r->guid != guid) r = r->next;
        if (!r) throw std::runtime_error("no configuration variable of that identifier");
        return *r;
    }
    static void read(cfg_var_reader& variable, const bytes& stored) {
        stream_reader_memblock in(stored.data(), stored.size());
        abort_callback_dummy abort;
        variable.read_raw(in, stored.size(), abort);
    }
    static std::vector<GUID> guids(const std::vector<config_identifier>& ids) {
        std::vector<GUID> out;
        for (const config_identifier& id : ids) out.push_back(guid_of(id));
        return out;
    }
    settings_restorer keep_settings;
};

TEST_F(ProcessChoice, StoredFormAndADamagedRecordThatChangesNothing) {
    process_choice& choice = own_process_choice();
    choice.assign(guids({a, b, a}));
    stream_writer_buffer_simple out;
    abort_callback_dummy abort;
    choice.write_raw(out, abort);
    EXPECT_EQ(out.data, body(2, {a, b}));

    read(choice, body(2, {c}));
    EXPECT_EQ(choice.chosen(), guids({a, b}));
    read(choice, body(1, {c}));
    EXPECT_EQ(choice.chosen(), guids({c}));
    // Larger than any record the component takes: not even read.
    std::vector<config_identifier> huge(70000, a);
    read(choice, body(70000, huge));
    EXPECT_EQ(choice.chosen(), guids({c}));
}

TEST_F(ProcessChoice, NoMorePluginsThanTheBound) {
    process_choice& choice = own_process_choice();
    std::vector<GUID> many;
    for (unsigned i = 0; i < 1030; ++i) many.push_back(plugin_guid(i + 1));
    choice.assign(many);
    EXPECT_EQ(choice.chosen(), std::vector<GUID>(many.begin(), many.begin() + 1024));
    EXPECT_FALSE(choice.choose(plugin_guid(5000), true));
    EXPECT_FALSE(choice.own_process(plugin_guid(5000)));
    EXPECT_TRUE(choice.choose(plugin_guid(1), true));  // already chosen
    EXPECT_FALSE(choice.choose_after_crash(plugin_guid(5000)));
    EXPECT_TRUE(choice.choose(plugin_guid(1), false));
    EXPECT_TRUE(choice.choose(plugin_guid(5000), true));
    EXPECT_TRUE(choice.own_process(plugin_guid(5000)));
    EXPECT_FALSE(choice.own_process(plugin_guid(1)));
}

TEST_F(ProcessChoice, EveryPluginSettingBelievesOnlyOneByteOfZeroOrOne) {
    advconfig_entry_checkbox_impl& every = every_plugin_in_own_process_setting();
    cfg_var_reader& stored = reader_of(every.get_guid());
    struct {
        bytes record;
        bool before;
        bool after;
    } cases[] = {
        {{1}, false, true},     {{0}, true, false},   {{2}, false, false}, {{0xFF}, true, true},
        {{1, 0}, false, false}, {{0, 0}, true, true}, {{}, true, true},
    };
    for (const auto& t : cases) {
        every.set_state(t.before);
        read(stored, t.record);
        EXPECT_EQ(every.get_state(), t.after) << t.record.size() << " bytes, first " << (t.record.empty() ? -1 : t.record[0]);
    }
    stream_writer_buffer_simple out;
    abort_callback_dummy abort;
    every.set_state(true);
    for (cfg_var_writer* w = cfg_var_writer::head; w; w = w->next)
        if (w->guid == every.get_guid()) w->write_raw(out, abort);
    EXPECT_EQ(out.data, bytes{1});
}

TEST_F(ProcessChoice, TheSettingAndTheChoiceDecideWhereAPluginRuns) {
    entry chosen("C:\\fx\\chosen.dll"), other("C:\\fx\\other.dll");
    chosen.identifier = plugin_guid(0x41);
    other.identifier = plugin_guid(0x42);
    own_process_choice().assign({chosen.identifier});
    EXPECT_TRUE(isolation_wanted(chosen));
    EXPECT_FALSE(isolation_wanted(other));
    every_plugin_in_own_process_setting().set_state(true);
    EXPECT_TRUE(isolation_wanted(chosen));
    EXPECT_TRUE(isolation_wanted(other));
    every_plugin_in_own_process_setting().set_state(false);
    own_process_choice().assign({});
    EXPECT_FALSE(isolation_wanted(chosen));

    // A plug-in loaded afterwards follows the choice of its identifier.
    linked_host host;
    const std::wstring dll = plugin_dll("recorder");
    const bool foreign = pe_machine(dll) != own_machine();
    entry recorder(wide_to_utf8(dll));
    recorder.identifier = plugin_guid(0x4F526563);  // "ORec"
    for (bool own : {true, false}) {
        own_process_choice().choose(recorder.identifier, own);
        vst v(recorder, false);
        ASSERT_TRUE(v.loaded) << v.diagnosis;
        EXPECT_EQ(v.isolated(), own || foreign) << own;
    }
}

// The marks have a record of their own, of the same form.
const GUID k_moved_record = {0x2B2F17FE, 0x34F0, 0x4060, {0x98, 0xFA, 0xEE, 0xB0, 0xC0, 0xB0, 0x4D, 0x7C}};

bytes stored(cfg_var_writer& variable) {
    stream_writer_buffer_simple out;
    abort_callback_dummy abort;
    variable.write_raw(out, abort);
    return out.data;
}

TEST_F(ProcessChoice, MovesAfterACrashAreARecordOfTheirOwnThatNoDamageSpreadsFrom) {
    process_choice& choice = own_process_choice();
    cfg_var_reader& marks_in = reader_of(k_moved_record);
    cfg_var_writer* marks_out = cfg_var_writer::head;
    while (marks_out && marks_out->guid != k_moved_record) marks_out = marks_out->next;
    ASSERT_NE(marks_out, nullptr);

    choice.assign(guids({a}));
    EXPECT_TRUE(choice.choose_after_crash(guid_of(b)));
    EXPECT_FALSE(choice.choose_after_crash(guid_of(a)));  // chosen by hand
    EXPECT_FALSE(choice.choose_after_crash(guid_of(b)));  // moved already
    EXPECT_EQ(choice.chosen(), guids({a, b}));
    EXPECT_EQ(choice.moved(), guids({b}));
    EXPECT_FALSE(choice.moved_after_crash(guid_of(a)));
    EXPECT_TRUE(choice.moved_after_crash(guid_of(b)));
    EXPECT_EQ(stored(choice), body(2, {a, b}));
    EXPECT_EQ(stored(*marks_out), body(1, {b}));

    bytes cut = body(1, {c});
    cut.pop_back();
    for (const bytes& damaged : {body(2, {c}), cut, bytes{1, 0, 0}, bytes{}}) {
        read(marks_in, damaged);
        EXPECT_EQ(choice.moved(), guids({b})) << damaged.size() << " bytes";
        EXPECT_EQ(choice.chosen(), guids({a, b})) << damaged.size() << " bytes";
    }
    read(choice, body(3, {c}));
    EXPECT_EQ(choice.chosen(), guids({a, b}));
    EXPECT_EQ(choice.moved(), guids({b}));

    // Read in either order, the marks count only for plug-ins chosen, and
    // only those are stored.
    read(marks_in, body(2, {c, a}));
    EXPECT_EQ(choice.moved(), guids({a}));
    EXPECT_FALSE(choice.moved_after_crash(guid_of(c)));
    EXPECT_EQ(stored(*marks_out), body(1, {a}));
    read(choice, body(2, {a, c}));
    EXPECT_EQ(choice.moved(), guids({c, a}));
    EXPECT_EQ(stored(*marks_out), body(2, {c, a}));
}

// However the user chooses, the choice is then the user's.
TEST_F(ProcessChoice, AnyChoiceByHandTakesTheMarkAway) {
    process_choice& choice = own_process_choice();
    const GUID moved = guid_of(a), other = guid_of(b);
    struct {
        const char* how;
        std::function<void()> choose;
        bool own;
    } cases[] = {
        {"switched back to the player's", [&] { choice.choose(moved, false); }, false},
        {"chosen by hand", [&] { choice.choose(moved, true); }, true},
        {"applied by the page as chosen", [&] { choice.assign({other, moved}); }, true},
        {"applied by the page as not chosen", [&] { choice.assign({other}); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        choice.assign({other});
        ASSERT_TRUE(choice.choose_after_crash(moved));
        ASSERT_TRUE(choice.moved_after_crash(moved));
        c.choose();
        EXPECT_EQ(choice.own_process(moved), c.own);
        EXPECT_FALSE(choice.moved_after_crash(moved));
        EXPECT_TRUE(choice.moved().empty());
        EXPECT_TRUE(choice.own_process(other));
        // Only a plug-in in the player's process can be moved again.
        EXPECT_EQ(choice.choose_after_crash(moved), !c.own);
    }
}

// The page edits a copy of the choice loaded when it opened; a plug-in that
// crashes meanwhile is moved all the same.
TEST_F(ProcessChoice, ThePageKeepsAMoveMadeWhileItWasOpenUnlessTheUserSwitchedItsRow) {
    entry untouched("C:\\fx\\untouched.dll"), switched("C:\\fx\\switched.dll"), other("C:\\fx\\other.dll");
    untouched.identifier = guid_of(a);
    switched.identifier = guid_of(b);
    other.identifier = guid_of(c);
    own_process_choice().assign({});
    process_column page;
    page.load();
    const std::vector<const entry*> rows{&untouched, &switched, &other};
    page.choose({&switched}, true);
    page.choose({&switched}, false);
    EXPECT_TRUE(own_process_choice().choose_after_crash(untouched.identifier));
    EXPECT_TRUE(own_process_choice().choose_after_crash(switched.identifier));
    page.apply(rows);
    EXPECT_EQ(own_process_choice().chosen(), guids({a}));
    EXPECT_EQ(own_process_choice().moved(), guids({a}));

    // Loaded with the move, the page shows it until its row is switched.
    page.load();
    EXPECT_EQ(page.text(untouched), "own (after a crash)");
    page.choose({&untouched, &other}, true);
    EXPECT_EQ(page.text(untouched), "own");
    EXPECT_EQ(page.text(other), "own");
    page.apply(rows);
    EXPECT_EQ(own_process_choice().chosen(), guids({a, c}));
    EXPECT_TRUE(own_process_choice().moved().empty());
}

// The playback thread asks while the preferences page applies a choice.
TEST_F(ProcessChoice, AskingIsSafeWhileTheChoiceChanges) {
    // The plug-in asked about stays chosen throughout, behind others that
    // come and go in front of it.
    entry always("C:\\fx\\always.dll");
    always.identifier = plugin_guid(0x77);
    const GUID coming = plugin_guid(0x78);
    std::vector<GUID> chosen{coming};
    for (unsigned i = 0; i < 200; ++i) chosen.push_back(plugin_guid(0x1000 + i));
    chosen.push_back(always.identifier);
    own_process_choice().assign(chosen);

    std::atomic<bool> done{false};
    std::atomic<int> asked{0}, wrong{0};
    std::thread playback([&] {
        while (!done) {
            if (!isolation_wanted(always)) ++wrong;
            ++asked;
        }
    });
    for (int round = 0; round < 5000 || (asked < 1000 && round < 1000000); ++round) {
        own_process_choice().choose(coming, false);
        own_process_choice().assign(chosen);
    }
    done = true;
    playback.join();
    EXPECT_EQ(wrong, 0) << "of " << asked;
}

}  // namespace

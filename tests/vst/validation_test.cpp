// Loading and validating a plug-in: every diagnosis, the fields validation
// fills in, and what the plug-in receives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <thread>

#include "../../Helpers/utf.h"
#include "../../prefs/advanced_settings.h"
#include "../../shell/identifier_text.h"
#include "../../vst/vst.h"
#include "../support/linked_host.h"
#include "../support/plugin_hooks.h"
#include "../support/plugin_places.h"
#include "../support/settings_restorer.h"

namespace {

const std::string k_break = "\r\n\r\n";

// Every diagnosis and field is the same whether the plug-in runs here or
// in a process of its own.
class Validation : public ::testing::TestWithParam<plugin_place> {
protected:
    std::unique_ptr<vst> load(const std::string& path, bool check = false) {
        entry e(path);
        e.channel_summary = "9/9";
        return std::make_unique<vst>(e, check, GetParam());
    }
    settings_restorer keep_settings;
    linked_host host;
    temp_folder files;
};

TEST_P(Validation, FilesThatGiveNoPluginAreDiagnosed) {
    std::wstring fake = files.file(L"fake.dll");
    write_file_bytes(fake, {'n', 'o', 't', ' ', 'a', ' ', 'd', 'l', 'l'});
    plugin_hooks no_entry("no_entry"), null_entry("null_entry");
    struct row {
        std::string path;
        const char* diagnosis;
    } rows[] = {
        {"C:\\nowhere\\x.dll", "VST DLL doesn't exist."},
        {wide_to_utf8(fake), "The VST DLL refused loading."},
        {no_entry.path_utf8(), "The file doesn't appear to be VST DLL (no entry procedure)."},
        {null_entry.path_utf8(), "Could't instantiate the VST."},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.path);
        auto v = load(r.path);
        EXPECT_FALSE(v->loaded);
        EXPECT_EQ(v->diagnosis, r.diagnosis + k_break + r.path);
        EXPECT_EQ(v->effect, nullptr);
    }
    EXPECT_FALSE(holds_plugin_code(*load("C:\\nowhere\\x.dll")));
}

// A bridge that could not load an image gets one more, fresh process; in
// the player's own process a refusal is final.
TEST_P(Validation, ARefusalIsTriedOnceMoreOnlyInAProcessOfItsOwn) {
    plugin_hooks loads(plugin_dll("refuse_once"), "refuse_once");  // its log, without loading it here
    loads.clear();
    auto v = load(loads.path_utf8());
    const bool own_process = GetParam() == plugin_place::own_process;
    EXPECT_EQ(v->loaded, own_process) << v->diagnosis;
    const std::vector<std::string> lines = loads.log();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "load"), own_process ? 2 : 1);
}

TEST_P(Validation, WrongMagicIsNeverDispatched) {
    plugin_hooks dll("bad_magic");
    dll.clear();
    auto v = load(dll.path_utf8());
    EXPECT_EQ(v->diagnosis, "kEffectMagic was expected." + k_break + dll.path_utf8());
    EXPECT_EQ(v->dispatch(effOpen), 0);
    v.reset();
    EXPECT_EQ(dll.log(), std::vector<std::string>{});
}

TEST_P(Validation, NoOutputsFailsButIsClosedOnDestruction) {
    plugin_hooks dll("no_outputs");
    dll.clear();
    auto v = load(dll.path_utf8());
    EXPECT_FALSE(v->loaded);
    EXPECT_EQ(v->diagnosis,
              "The VST plug-in has no inputs and/or outputs and hence isn't an effect." + k_break + dll.path_utf8());
    EXPECT_TRUE(holds_plugin_code(*v));
    EXPECT_NE(v->effect, nullptr);
    EXPECT_TRUE(dll.opcodes().empty());
    v.reset();
    EXPECT_EQ(dll.opcodes(), (std::vector<std::string>{"1 0 0"}));
}

TEST_P(Validation, InstrumentAndOfflineAreRefusedAfterTheChannelSummary) {
    for (const char* name : {"synth", "offline"}) {
        plugin_hooks dll(name);
        dll.clear();
        auto v = load(dll.path_utf8());
        EXPECT_FALSE(v->loaded);
        EXPECT_EQ(v->diagnosis,
                  "The VST plug-in reports its category as synth or offline DSP." + k_break + dll.path_utf8());
        EXPECT_EQ(v->channel_summary, std::string(name) == "synth" ? "1/2" : "2/2");
        // Asked for its category, never opened.
        EXPECT_EQ(dll.opcodes(), (std::vector<std::string>{"35 0 0"}));
    }
}

TEST_P(Validation, GoodPluginReceivesExactlyThisAndIsDescribed) {
    plugin_hooks dll("recorder");
    dll.clear();
    auto v = load(dll.path_utf8());
    ASSERT_TRUE(v->loaded) << v->diagnosis;
    EXPECT_EQ(v->diagnosis, "No errors detected.");
    EXPECT_EQ(dll.opcodes(), (std::vector<std::string>{"35 0 0", "0 0 0", "48 0 0", "47 0 0", "2 0 0"}));
    EXPECT_EQ(v->product_name, "Recorder");
    EXPECT_EQ(v->vendor_name, "Orvane Labs");
    EXPECT_EQ(v->spare_text, "n/a");
    EXPECT_EQ(v->channel_summary, "2/2");
    EXPECT_FALSE(v->has_editor);
    EXPECT_EQ(v->module_path, dll.path_utf8());
    std::int32_t words[4];
    std::memcpy(words, &v->identifier, sizeof words);
    for (std::int32_t w : words) EXPECT_EQ(w, v->effect->uniqueID);
    EXPECT_EQ(v->effect->resvd2, reinterpret_cast<std::intptr_t>(v.get()));
    dll.clear();
    v.reset();
    EXPECT_EQ(dll.opcodes(), (std::vector<std::string>{"1 0 0"}));
}

TEST_P(Validation, EntryNamedMainLoads) {
    plugin_hooks dll("main_only");
    auto v = load(dll.path_utf8());
    EXPECT_TRUE(v->loaded) << v->diagnosis;
    EXPECT_EQ(v->product_name, "Main Only");
}

TEST_P(Validation, RelativePathResolvesAgainstTheHostExecutable) {
    auto good = load("plugins\\recorder.dll");
    EXPECT_TRUE(good->loaded) << good->diagnosis;
    EXPECT_EQ(good->module_path, "plugins\\recorder.dll");

    auto missing = load("plugins\\missing.dll");
    EXPECT_EQ(missing->diagnosis,
              "VST DLL doesn't exist." + k_break + wide_to_utf8(bin_folder()) + "plugins\\missing.dll");
    EXPECT_EQ(missing->module_path, "plugins\\missing.dll");
}

TEST_P(Validation, EmptyStringsFallBackToFileNameAndNotStated) {
    std::wstring copy = files.file(L"My.Delay.dll");
    ASSERT_TRUE(CopyFileW(plugin_dll("anonymous").c_str(), copy.c_str(), FALSE));
    auto v = load(wide_to_utf8(copy));
    ASSERT_TRUE(v->loaded) << v->diagnosis;
    EXPECT_EQ(v->product_name, "My.Delay");
    EXPECT_EQ(v->vendor_name, "n/s");
}

TEST_P(Validation, UnterminatedFourKilobyteProductStringIsCut) {
    plugin_hooks dll("verbose");
    auto v = load(dll.path_utf8());
    ASSERT_TRUE(v->loaded);
    EXPECT_EQ(v->product_name, std::string(k_plugin_text_limit, 'V'));
    EXPECT_EQ(v->vendor_name, "Orvane Labs");
}

TEST_P(Validation, OutputCountFollowsTheLimit) {
    plugin_hooks six("six_out");
    struct { const char* limit; int expected; } cases[] = {{"2", 2}, {"6", 6}, {"32", 6}, {"1", 1}};
    for (const auto& c : cases) {
        output_number_limit_setting().set_state(c.limit, std::strlen(c.limit));
        auto v = load(six.path_utf8());
        EXPECT_EQ(v->output_count, c.expected) << c.limit;
    }
    output_number_limit_setting().set_state("2", 1);
    EXPECT_EQ(load(wide_to_utf8(plugin_dll("recorder")))->output_count, 2);
    // Stored values the setting itself never writes: only the low 16 bits
    // count, and none of them leaves a plug-in without outputs.
    for (std::uint64_t stored : {std::uint64_t{0}, std::uint64_t{0x10000}, std::uint64_t{0x10003}}) {
        output_number_limit_setting().set_value(stored);
        EXPECT_EQ(load(six.path_utf8())->output_count, stored == 0x10003 ? 3 : 1) << stored;
    }
}

TEST_P(Validation, CheckModeClosesTheValidPlugin) {
    plugin_hooks dll("recorder");
    dll.clear();
    auto v = load(dll.path_utf8(), true);
    EXPECT_TRUE(v->loaded);
    EXPECT_EQ(v->effect, nullptr);
    EXPECT_FALSE(holds_plugin_code(*v));
    EXPECT_EQ(v->diagnosis, "No errors detected.");
    EXPECT_EQ(v->product_name, "Recorder");
    EXPECT_EQ(dll.opcodes().back(), "1 0 0");
    dll.clear();
    v.reset();
    EXPECT_TRUE(dll.opcodes().empty());
}

TEST_P(Validation, RemembersWhetherItWasMadeOnTheMainThread) {
    plugin_hooks dll("recorder");
    auto here = load(dll.path_utf8());
    EXPECT_TRUE(here->created_on_main_thread);
    std::unique_ptr<vst> there;
    std::thread([&] { there = load(dll.path_utf8()); }).join();
    EXPECT_FALSE(there->created_on_main_thread);
}

ORVANE_IN_BOTH_PLACES(Validation);

}  // namespace

// The component's scripting interface, through vel_vst.dll: statuses and
// texts instead of exceptions or message boxes, the list file it writes,
// and the presets it makes.
#include <gtest/gtest.h>

#include <cstring>

#include "../../Helpers/utf.h"
#include "../../cli/script_receivers.h"
#include "../support/component_fixture.h"
#include "../support/plugin_hooks.h"
#include "../support/program_bytes.h"

namespace {

constexpr std::int32_t k_gain_id = 0x4F47616E;  // "OGan"

struct outcome {
    vst_script_status status;
    std::string error;
};

class Scripting : public ComponentFixture {
protected:
    void start_with(const std::vector<list_record>& plugins) {
        start(plugins);
        scripting = host->service<vst_scripting>();
        ASSERT_EQ(scripting->version(), k_vst_scripting_version);
    }
    // The interface's reference goes before the DLL does.
    void stop() {
        scripting.reset();
        host.reset();
    }
    std::vector<unsigned char> list_bytes() { return read_file_bytes(profile.file(L"vst_entries.bin")); }

    outcome add(const char* path, vst_script_add_flags flags = 0) {
        text_receiver error;
        entry_receiver added;
        outcome o{scripting->add(path, flags, added, error), error.text};
        last_added = added;
        return o;
    }
    outcome set(const dsp_preset& preset, const char* subject, std::uint32_t index, float value) {
        text_receiver error;
        plugin_receiver out;
        outcome o{scripting->set_parameter(preset_record(preset), subject, index, value, out, error), error.text};
        last_report = out.report;
        return o;
    }
    outcome load(const dsp_preset& preset, const std::wstring& file) {
        text_receiver error;
        plugin_receiver out;
        outcome o{scripting->load_program(preset_record(preset), "chain position 1", wide_to_utf8(file).c_str(), out,
                                          error),
                  error.text};
        last_report = out.report;
        return o;
    }
    std::vector<plugin_parameter> parameters(const dsp_preset& preset) {
        text_receiver error;
        plugin_receiver out;
        EXPECT_EQ(scripting->get_parameters(preset_record(preset), nullptr, out, error), vst_script_ok) << error.text;
        return out.report.parameters;
    }
    // Nothing the interface does reaches the player's message box.
    void expect_no_message_box() {
        host->pump();
        EXPECT_TRUE(host->popups().messages().empty()) << host->popups().messages().front().text;
    }

    service_ptr_t<vst_scripting> scripting;
    entry_receiver last_added;
    preset_report last_report;
};

// The preset payload of a parameter plug-in: key, count, values.
std::vector<unsigned char> parameter_payload(std::uint32_t key, const std::vector<float>& values) {
    std::vector<unsigned char> out(8 + 4 * values.size());
    const auto count = static_cast<std::uint32_t>(values.size());
    std::memcpy(out.data(), &key, 4);
    std::memcpy(out.data() + 4, &count, 4);
    std::memcpy(out.data() + 8, values.data(), 4 * values.size());
    return out;
}

TEST_F(Scripting, AddChecksThePluginAndWritesTheList) {
    start_with({});
    const std::string gain = wide_to_utf8(plugin_dll("gain"));
    const outcome o = add(gain.c_str());
    ASSERT_EQ(o.status, vst_script_ok) << o.error;
    ASSERT_EQ(last_added.entries.size(), 1u);
    const listed_plugin& e = last_added.entries[0];
    EXPECT_EQ(last_added.positions[0], 0u);
    EXPECT_EQ(e.product_name, "Orvane Gain");
    EXPECT_EQ(e.vendor_name, "Orvane Labs");
    EXPECT_EQ(e.channel_summary, "2/2");
    EXPECT_EQ(e.module_path, gain);
    EXPECT_EQ(e.identifier, plugin_guid(k_gain_id));
    EXPECT_FALSE(e.has_editor);
    const std::vector<unsigned char> bytes = list_bytes();
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(std::vector<unsigned char>(bytes.begin(), bytes.begin() + 4), (std::vector<unsigned char>{1, 0, 0, 0}));

    text_receiver error;
    entry_receiver listed;
    ASSERT_EQ(scripting->list(listed, error), vst_script_ok);
    ASSERT_EQ(listed.entries.size(), 1u);
    EXPECT_EQ(listed.entries[0].module_path, gain);
    expect_no_message_box();
}

TEST_F(Scripting, RefusedAddsSayWhyAndLeaveTheList) {
    std::vector<list_record> full;
    for (unsigned i = 0; i < 20; ++i) full.push_back({"C:\\fx\\" + std::to_string(i) + ".dll", "FX", identifier_text(i)});
    const std::string gain = wide_to_utf8(plugin_dll("gain")), no_outputs = wide_to_utf8(plugin_dll("no_outputs"));
    const std::string listed_gain = wide_to_utf8(plugin_dll("gain"));
    struct {
        const char* what;
        std::vector<list_record> listed;
        const char* path;
        vst_script_add_flags flags;
        vst_script_status status;
        std::string error;
    } cases[] = {
        {"not an effect", {}, no_outputs.c_str(), 0, vst_script_refused,
         "The VST plug-in has no inputs and/or outputs and hence isn't an effect. (" + no_outputs + ")"},
        {"missing", {}, "C:\\nowhere\\gone.dll", 0, vst_script_refused, "VST DLL doesn't exist. (C:\\nowhere\\gone.dll)"},
        {"listed already", {plugin_record("gain", k_gain_id, "Orvane Gain")}, gain.c_str(), 0, vst_script_refused,
         "This plug-in is already in the list. (Orvane Gain, " + listed_gain + ")"},
        {"list full", full, gain.c_str(), 0, vst_script_refused,
         "the list already holds 20 plug-ins; at most 20 can be used"},
        {"a flag of a later version", {}, gain.c_str(), 3, vst_script_bad_argument, "unknown add flags 0x00000002"},
        {"no path", {}, nullptr, 0, vst_script_bad_argument, "no plug-in DLL was given"},
    };
    for (const auto& c : cases) {
        start_with(c.listed);
        const std::vector<unsigned char> before = list_bytes();
        const outcome o = add(c.path, c.flags);
        EXPECT_EQ(o.status, c.status) << c.what;
        EXPECT_EQ(o.error, c.error) << c.what;
        EXPECT_TRUE(last_added.entries.empty()) << c.what;
        EXPECT_EQ(list_bytes(), before) << c.what;
        expect_no_message_box();
        stop();
    }
}

TEST_F(Scripting, RemoveTakesOnlyTheEntryItWasToldOf) {
    const std::vector<list_record> two = {{"C:\\fx\\a.dll", "A", identifier_text(1)},
                                          {"C:\\fx\\b.dll", "B", identifier_text(2)}};
    struct {
        std::uint32_t position;
        unsigned identifier;
        vst_script_status status;
        const char* error;
        std::vector<std::string> left;
    } cases[] = {
        {1, 2, vst_script_ok, "", {"A"}},
        {0, 2, vst_script_refused, "the plug-in list changed: position 0 now holds A", {"A", "B"}},
        {2, 2, vst_script_out_of_range, "no plug-in at list position 2 (the list holds 2)", {"A", "B"}},
    };
    for (const auto& c : cases) {
        start_with(two);
        text_receiver error;
        entry_receiver removed, listed;
        EXPECT_EQ(scripting->remove(c.position, plugin_guid(c.identifier), removed, error), c.status) << c.position;
        EXPECT_EQ(error.text, c.error);
        ASSERT_EQ(scripting->list(listed, error), vst_script_ok);
        std::vector<std::string> left;
        for (const auto& e : listed.entries) left.push_back(e.product_name);
        EXPECT_EQ(left, c.left) << c.position;
        stop();
    }
}

// What the tool's `plugins` shows of where each plug-in runs, and what
// `isolate` may change.
TEST_F(Scripting, WhereEachPluginRunsIsChosenPerEntry) {
    const std::string foreign = wide_to_utf8(other_architecture_plugin_dll("recorder"));
    const char* foreign_kind = sizeof(void*) == 8 ? "x86" : "x64";
    start_with({plugin_record("gain", k_gain_id, "Orvane Gain"), {foreign, "Recorder", identifier_text(0x4F526563)},
                {"C:\\nowhere\\gone.dll", "Gone", identifier_text(7)}});
    enum : std::uint32_t {
        chosen = vst_script_entry_own_process_chosen,
        other = vst_script_entry_other_architecture,
        own = vst_script_entry_own_process,
    };
    struct {
        std::uint32_t position;
        unsigned identifier;
        std::uint32_t own_process;
        vst_script_status status;
        std::string error;
        std::uint32_t flags[3];  // of the three entries afterwards
    } cases[] = {
        {0, k_gain_id, 1, vst_script_ok, "", {chosen | own, other | own, 0}},
        {2, 7, 1, vst_script_ok, "", {chosen | own, other | own, chosen | own}},
        {0, k_gain_id, 0, vst_script_ok, "", {0, other | own, chosen | own}},
        {1, 0x4F526563, 0, vst_script_refused,
         std::string("Recorder is an ") + foreign_kind + " DLL: it always runs in a process of its own",
         {0, other | own, chosen | own}},
        {1, 0x4F526563, 1, vst_script_ok, "", {0, other | own, chosen | own}},
        {0, 7, 1, vst_script_refused, "the plug-in list changed: position 0 now holds Orvane Gain",
         {0, other | own, chosen | own}},
        {3, 7, 1, vst_script_out_of_range, "no plug-in at list position 3 (the list holds 3)",
         {0, other | own, chosen | own}},
        {0, k_gain_id, 2, vst_script_bad_argument, "own takes 1 (its own process) or 0 (the player's), not 2",
         {0, other | own, chosen | own}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.position) + " " + std::to_string(c.own_process));
        text_receiver error;
        struct : vst_script_entry_sink {
            void VST_SCRIPTING_CALL on_entry(std::uint32_t, const vst_script_entry& e) noexcept override {
                flags.push_back(e.flags & ~vst_script_entry_has_editor);
            }
            std::vector<std::uint32_t> flags;
        } changed, listed;
        EXPECT_EQ(scripting->set_own_process(c.position, plugin_guid(c.identifier), c.own_process, changed, error),
                  c.status);
        EXPECT_EQ(error.text, c.error);
        EXPECT_EQ(changed.flags.size(), c.status == vst_script_ok ? 1u : 0u);
        if (!changed.flags.empty()) {
            EXPECT_EQ(changed.flags[0], c.flags[c.position]);
        }
        ASSERT_EQ(scripting->list(listed, error), vst_script_ok);
        EXPECT_EQ(listed.flags, std::vector<std::uint32_t>(c.flags, c.flags + 3));
    }
    expect_no_message_box();
}

// A plug-in moved into its own process after a crash says so (version 5),
// until the user chooses for it.
TEST_F(Scripting, AMoveAfterACrashIsFlaggedUntilTheUserChooses) {
    start({plugin_record("gain", k_gain_id, "Orvane Gain"), {"C:\\nowhere\\gone.dll", "Gone", identifier_text(7)}},
          process_configuration({plugin_guid(k_gain_id), plugin_guid(7)}, false, {plugin_guid(k_gain_id)}));
    scripting = host->service<vst_scripting>();
    struct : vst_script_entry_sink {
        void VST_SCRIPTING_CALL on_entry(std::uint32_t, const vst_script_entry& e) noexcept override {
            flags.push_back(e.flags & ~vst_script_entry_has_editor);
        }
        std::vector<std::uint32_t> flags;
    } listed, changed, listed_after;
    text_receiver error;
    const std::uint32_t own = vst_script_entry_own_process_chosen | vst_script_entry_own_process;
    ASSERT_EQ(scripting->list(listed, error), vst_script_ok) << error.text;
    EXPECT_EQ(listed.flags, (std::vector<std::uint32_t>{own | vst_script_entry_moved_after_crash, own}));

    ASSERT_EQ(scripting->set_own_process(0, plugin_guid(k_gain_id), 1, changed, error), vst_script_ok) << error.text;
    EXPECT_EQ(changed.flags, std::vector<std::uint32_t>{own});
    ASSERT_EQ(scripting->list(listed_after, error), vst_script_ok) << error.text;
    EXPECT_EQ(listed_after.flags, (std::vector<std::uint32_t>{own, own}));
    EXPECT_EQ(configuration_records(host->save_configuration()).at(k_moved_after_crash_record), process_choice_body({}));
    stop();
}

// An add that asks for a process of its own checks the plug-in there, and
// a remove takes the choice with the plug-in.
TEST_F(Scripting, AddInAProcessOfItsOwnAndRemoveTakesTheChoiceAlong) {
    plugin_hooks dll("gain");
    start_with({});
    dll.clear();
    ASSERT_EQ(add(dll.path_utf8().c_str(), vst_script_add_own_process).status, vst_script_ok);
    ASSERT_EQ(last_added.entries.size(), 1u);
    EXPECT_TRUE(last_added.entries[0].own_process_chosen);
    // Opened once, and not by this process (which would note its thread).
    EXPECT_EQ(dll.calls(effOpen), 1);
    EXPECT_EQ(dll.opcode_thread(effOpen), 0u);
    EXPECT_EQ(configuration_records(host->save_configuration()).at(k_process_choice_record),
              process_choice_body({plugin_guid(k_gain_id)}));

    text_receiver error;
    entry_receiver removed;
    ASSERT_EQ(scripting->remove(0, plugin_guid(k_gain_id), removed, error), vst_script_ok) << error.text;
    EXPECT_EQ(configuration_records(host->save_configuration()).at(k_process_choice_record), process_choice_body({}));

    // Without the flag, the check runs here, and nothing is chosen.
    dll.clear();
    ASSERT_EQ(add(dll.path_utf8().c_str()).status, vst_script_ok);
    EXPECT_FALSE(last_added.entries.at(0).own_process_chosen);
    EXPECT_EQ(dll.opcode_thread(effOpen), GetCurrentThreadId());
    EXPECT_EQ(configuration_records(host->save_configuration()).at(k_process_choice_record), process_choice_body({}));
    expect_no_message_box();
}

TEST_F(Scripting, ParametersAreReadAndSetIntoANewPreset) {
    start_with({plugin_record("gain", k_gain_id, "Orvane Gain")});
    const dsp_preset_impl fresh = keyed(plugin_guid(k_gain_id), 77);
    const std::vector<plugin_parameter> before = parameters(fresh);
    ASSERT_EQ(before.size(), 3u);
    const std::string texts[3][3] = {{"Gain", "+0.0", "dB"}, {"Pan", "+0", "%"}, {"Invert", "Off", ""}};
    const float values[3] = {0.5f, 0.5f, 0.0f};
    for (std::uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(before[i].index, i);
        EXPECT_EQ(before[i].value, values[i]) << i;
        EXPECT_EQ(before[i].name, texts[i][0]);
        EXPECT_EQ(before[i].display, texts[i][1]);
        EXPECT_EQ(before[i].label, texts[i][2]);
    }

    const outcome o = set(fresh, "chain position 1", 0, 0.375f);
    ASSERT_EQ(o.status, vst_script_ok) << o.error;
    EXPECT_EQ(last_report.product_name, "Orvane Gain");
    EXPECT_EQ(last_report.parameter_count, 3u);
    ASSERT_EQ(last_report.parameters.size(), 1u);
    EXPECT_EQ(last_report.parameters[0].display, "-6.0");  // -24 dB + 48 dB x 0.375
    const dsp_preset_impl& made = last_report.preset;
    EXPECT_EQ(made.get_owner(), plugin_guid(k_gain_id));
    std::uint32_t key;
    ASSERT_EQ(made.bytes().size(), 20u);
    std::memcpy(&key, made.bytes().data(), 4);
    EXPECT_EQ(made.bytes(), parameter_payload(key, {0.375f, 0.5f, 0.0f}));

    // The new preset brings the value back to a fresh instance.
    EXPECT_EQ(parameters(made).at(0).value, 0.375f);
    expect_no_message_box();
}

TEST_F(Scripting, PresetOperationsThatCannotBeDoneSayWhy) {
    start_with({plugin_record("gain", k_gain_id, "Orvane Gain"),
                {"C:\\nowhere\\broken.dll", "Broken", identifier_text(0x1234)}});
    const dsp_preset_impl gain = keyed(plugin_guid(k_gain_id), 5);
    const dsp_preset_impl stranger = keyed(plugin_guid(0x99), 5);
    const dsp_preset_impl broken = keyed(plugin_guid(0x1234), 5);
    const std::uint8_t* no_bytes = nullptr;
    struct {
        const char* what;
        vst_script_preset preset;
        const char* subject;
        std::uint32_t index;
        float value;
        vst_script_status status;
        std::string error;
    } cases[] = {
        {"index past the last", preset_record(gain), "chain position 2", 3, 0.5f, vst_script_out_of_range,
         "Orvane Gain has no parameter with index 3 (it has 3)"},
        {"value above 1", preset_record(gain), "chain position 2", 0, 1.5f, vst_script_bad_argument,
         "a parameter value runs from 0 to 1, not 1.5"},
        {"owner not listed", preset_record(stranger), "chain position 4", 0, 0.5f, vst_script_not_listed,
         "chain position 4 is not one of the VST effects"},
        {"unnamed preset", preset_record(stranger), nullptr, 0, 0.5f, vst_script_not_listed,
         "the preset is not one of the VST effects"},
        {"plug-in that does not load", preset_record(broken), "chain position 1", 0, 0.5f, vst_script_refused,
         "VST DLL doesn't exist. (C:\\nowhere\\broken.dll)"},
        {"bytes missing", {plugin_guid(k_gain_id), no_bytes, 8}, "chain position 1", 0, 0.5f,
         vst_script_bad_argument, "a preset of 8 bytes came without its bytes"},
    };
    for (const auto& c : cases) {
        text_receiver error;
        plugin_receiver out;
        EXPECT_EQ(scripting->set_parameter(c.preset, c.subject, c.index, c.value, out, error), c.status) << c.what;
        EXPECT_EQ(error.text, c.error) << c.what;
        EXPECT_EQ(out.report.preset.bytes().size(), 0u) << c.what;
    }
    expect_no_message_box();
}

TEST_F(Scripting, CrashWhileSettingIsAnErrorTextNotAMessageLater) {
    start_with({plugin_record("fault_set_parameter", 0x4F466C74, "Faulty")});
    const outcome o = set(keyed(plugin_guid(0x4F466C74), 9), "chain position 1", 0, 0.25f);
    EXPECT_EQ(o.status, vst_script_refused);
    EXPECT_EQ(o.error, "Faulty crashed and was switched off; chain position 1 keeps its settings");
    expect_no_message_box();
}

TEST_F(Scripting, ProgramFilesLoadIntoANewPresetOrAreRefused) {
    start_with({plugin_record("gain", k_gain_id, "Orvane Gain")});
    const dsp_preset_impl gain = keyed(plugin_guid(k_gain_id), 11);
    const std::wstring good = profile.file(L"good.fxp"), other = profile.file(L"other.fxp"),
                       bank = profile.file(L"junk.fxp"), missing = profile.file(L"missing.fxp");
    write_file_bytes(good, fxp_parameters(k_gain_id, {0.25f, 0.75f, 1.0f}));
    write_file_bytes(other, fxp_parameters(0x4F526563, {0.25f, 0.75f, 1.0f}));
    std::vector<unsigned char> junk = fxp_parameters(k_gain_id, {0.25f});
    std::memcpy(junk.data(), "Junk", 4);
    write_file_bytes(bank, junk);

    ASSERT_EQ(load(gain, good).status, vst_script_ok);
    EXPECT_EQ(last_report.product_name, "Orvane Gain");
    std::uint32_t key;
    ASSERT_EQ(last_report.preset.bytes().size(), 20u);
    std::memcpy(&key, last_report.preset.bytes().data(), 4);
    EXPECT_EQ(last_report.preset.bytes(), parameter_payload(key, {0.25f, 0.75f, 1.0f}));

    struct {
        std::wstring file;
        vst_script_status status;
        std::string error;
    } cases[] = {
        {other, vst_script_refused, wide_to_utf8(other) + ": VST ID mismatch. Most probably, this FXP is for another VST."},
        {bank, vst_script_refused, wide_to_utf8(bank) + ": The file you specified is not a valid FXP file."},
        {missing, vst_script_io_error, "cannot read " + wide_to_utf8(missing) + ": "},
    };
    for (const auto& c : cases) {
        const outcome o = load(gain, c.file);
        EXPECT_EQ(o.status, c.status) << o.error;
        EXPECT_EQ(o.error.substr(0, c.error.size()), c.error);
    }
    expect_no_message_box();
}

}  // namespace

namespace {

// Set by the test: the component's interface, asked from inside a call into
// the plug-in, as a watchdog thread would ask while the call runs.
vst_scripting* g_asking = nullptr;
std::vector<instance_activity> g_seen_inside;

void ask_during_call(std::int32_t opcode, AEffect*) {
    if (!g_asking || opcode != effGetParamName) return;
    activity_receiver seen;
    text_receiver error;
    if (g_asking->activity(seen, error) == vst_script_ok) g_seen_inside = seen.instances;
    g_asking = nullptr;
}

TEST_F(Scripting, ActivityNamesEveryInstanceAndTheCallThatHasNotReturned) {
    plugin_hooks dll("gain");
    dsp_chain_config_impl chain;
    chain.add_item(keyed(plugin_guid(k_gain_id), 7));
    chain.add_item(keyed(plugin_guid(k_gain_id), 9));
    start({plugin_record("gain", k_gain_id, "Orvane Gain")}, {}, &chain);
    scripting = host->service<vst_scripting>();

    activity_receiver idle;
    text_receiver error;
    ASSERT_EQ(scripting->activity(idle, error), vst_script_ok) << error.text;
    ASSERT_EQ(idle.instances.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(idle.instances[i].product_name, "Orvane Gain");
        EXPECT_EQ(idle.instances[i].module_path, dll.path_utf8());
        EXPECT_EQ(idle.instances[i].identifier, plugin_guid(k_gain_id));
        EXPECT_TRUE(idle.instances[i].has_key);
        EXPECT_EQ(idle.instances[i].call, "");
        EXPECT_EQ(idle.instances[i].restarts, 0u);  // in the player's process: never started again
    }
    EXPECT_EQ(idle.instances[0].key, 7u);
    EXPECT_EQ(idle.instances[1].key, 9u);

    dll.hook<void (*)(void (*)(std::int32_t, AEffect*))>("test_plugin_set_call_hook")(&ask_during_call);
    g_asking = scripting.get();
    parameters(keyed(plugin_guid(k_gain_id), 9));
    dll.hook<void (*)(void (*)(std::int32_t, AEffect*))>("test_plugin_set_call_hook")(nullptr);
    ASSERT_EQ(g_seen_inside.size(), 2u);
    EXPECT_EQ(g_seen_inside[0].call, "");
    EXPECT_EQ(g_seen_inside[1].call, "effGetParamName");
    EXPECT_EQ(g_seen_inside[1].key, 9u);
    stop();
}

}  // namespace

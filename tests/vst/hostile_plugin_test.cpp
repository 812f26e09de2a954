// Plug-ins that answer nonsense without crashing: every answer gets a
// bounded reaction, and nothing is read past what the plug-in holds.
#include <gtest/gtest.h>

#include <cstring>

#include "../../shell/identifier_text.h"
#include "../../vst/audio_processing.h"
#include "../../vst/preset_state.h"
#include "../../vst/vst.h"
#include "../support/linked_host.h"
#include "../support/loaded_plugin.h"
#include "../support/plugin_hooks.h"
#include "../support/plugin_places.h"
#include "../support/signals.h"

namespace {

const GUID k_owner = identifier_from_unique_id(0x4F486F73);

// Bounded wherever the plug-in runs.
class HostilePlugins : public ::testing::TestWithParam<plugin_place> {
protected:
    std::unique_ptr<vst> load(plugin_hooks& dll) { return load_plugin(dll, GetParam()); }
    linked_host host;
};

TEST_P(HostilePlugins, CaptureKeepsOnlyWhatCanBeBelieved) {
    // Parameter payloads are the key, the count and the values; chunk
    // payloads the key, the size and the bytes, or the key alone.
    struct { const char* dll; std::size_t size; std::uint32_t count; } cases[] = {
        {"hostile_params_negative", 8, 0},
        {"hostile_params_huge", 8 + 4 * 65536, 65536},
        {"hostile_chunk_negative", 4, 0},
        {"hostile_chunk_huge", 4, 0},  // a 2 GB claim allocates nothing
        {"hostile_chunk_null", 4, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dll);
        plugin_hooks dll(c.dll);
        auto v = load(dll);
        dsp_preset_impl captured;
        capture_preset(*v, k_owner, captured);
        ASSERT_EQ(captured.get_data_size(), c.size);
        if (c.size >= 8) {
            std::uint32_t count;
            std::memcpy(&count, static_cast<const unsigned char*>(captured.get_data()) + 4, 4);
            EXPECT_EQ(count, c.count);
        }
        EXPECT_FALSE(v->faulted);
    }
}

TEST_P(HostilePlugins, AHundredThousandInputsFailValidation) {
    plugin_hooks dll("hostile_many_inputs");
    vst v(entry(dll.path_utf8()), false, GetParam());
    EXPECT_FALSE(v.loaded);
    EXPECT_EQ(v.channel_summary, "100000/2");
    EXPECT_EQ(v.diagnosis, "The VST plug-in reports more inputs or outputs than the component can serve (at most " +
                               std::to_string(k_max_plugin_ports) + ").\r\n\r\n" + dll.path_utf8());
}

TEST_P(HostilePlugins, AudioPassesUnchangedWhenThePluginCannotTakeIt) {
    // No process function at all, or no outputs any more once resumed.
    for (const char* name : {"hostile_no_process", "hostile_outputs_vanish"}) {
        SCOPED_TRACE(name);
        plugin_hooks dll(name);
        auto v = load(dll);
        const std::vector<float> in = test_signal(128, 2);
        for (int block = 0; block < 2; ++block) {
            auto c = chunk_of(in, 2);
            EXPECT_TRUE(process_chunk(*v, c));
            EXPECT_EQ(c.get_channels(), 2u);
            EXPECT_EQ(c.get_channel_config(), 3u);
            EXPECT_EQ(std::vector<float>(c.get_data(), c.get_data() + in.size()), in);
        }
    }
}

TEST_P(HostilePlugins, ChunkFlagGoneByRestoreReadsOnlyTheStoredBytes) {
    plugin_hooks dll("hostile_chunk_flag_flips");  // 4 parameters, a 64-byte chunk
    auto v = load(dll);
    dsp_preset_impl captured;
    capture_preset(*v, k_owner, captured);
    ASSERT_EQ(captured.get_data_size(), 4u + 4u + 64u);
    // Restored as parameters now: 64 bytes after the count hold 16 floats,
    // of which the plug-in's four are set, and nothing beyond the data.
    const std::vector<unsigned char> short_payload(static_cast<const unsigned char*>(captured.get_data()),
                                                   static_cast<const unsigned char*>(captured.get_data()) + 16);
    for (const auto& data : {std::vector<unsigned char>(static_cast<const unsigned char*>(captured.get_data()),
                                                        static_cast<const unsigned char*>(captured.get_data()) +
                                                            captured.get_data_size()),
                             short_payload}) {
        dll.clear();
        apply_preset(*v, dsp_preset_impl(k_owner, data));
        std::size_t set_calls = 0;
        for (const std::string& line : dll.log()) set_calls += line.rfind("setParameter ", 0) == 0;
        EXPECT_EQ(set_calls, std::min<std::size_t>(4, (data.size() - 8) / 4));
    }
}

ORVANE_IN_BOTH_PLACES(HostilePlugins);

// In its own process every instance has a process, and so a record, of its
// own; here one record cannot serve two.
class HostileStaticRecord : public ::testing::Test {
protected:
    linked_host host;
};

TEST_F(HostileStaticRecord, ARecordAnotherInstanceUsesIsNotTakenOver) {
    plugin_hooks dll("hostile_static_record");  // hands every caller one record
    auto first = load_plugin(dll);
    dll.clear();
    {
        vst second(entry(dll.path_utf8()), true);  // as the preferences page checks a DLL
        EXPECT_FALSE(second.loaded);
        EXPECT_EQ(second.diagnosis, "The VST plug-in returned a record that another loaded instance already uses."
                                    "\r\n\r\n" + dll.path_utf8());
    }
    // Neither opened, set nor closed through the second object; the first
    // still owns its record.
    EXPECT_EQ(dll.opcodes(), std::vector<std::string>{});
    EXPECT_EQ(reinterpret_cast<vst*>(first->effect->resvd2), first.get());
}

}  // namespace

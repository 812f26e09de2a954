// Sharing plug-ins by instance key, and their state in preset payloads.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <thread>

#include "../../shell/identifier_text.h"
#include "../../vst/preset_state.h"
#include "../../vst/shared_instances.h"
#include "../../vst/instance_lock.h"
#include "../../vst/vst.h"
#include "../support/linked_host.h"
#include "../support/plugin_hooks.h"
#include "../support/plugin_places.h"
#include "../../test_plugins/common/call_log.h"

namespace {

std::vector<unsigned char> payload(std::uint32_t key, std::vector<float> values = {}, bool with_count = true) {
    std::vector<unsigned char> b(4);
    std::memcpy(b.data(), &key, 4);
    if (with_count) {
        std::uint32_t n = static_cast<std::uint32_t>(values.size());
        b.insert(b.end(), reinterpret_cast<unsigned char*>(&n), reinterpret_cast<unsigned char*>(&n) + 4);
    }
    for (float v : values)
        b.insert(b.end(), reinterpret_cast<unsigned char*>(&v), reinterpret_cast<unsigned char*>(&v) + 4);
    return b;
}

std::uint32_t u32_at(const dsp_preset& p, std::size_t at) {
    std::uint32_t v;
    std::memcpy(&v, static_cast<const unsigned char*>(p.get_data()) + at, 4);
    return v;
}

class SharedInstances : public ::testing::Test {
protected:
    dsp_preset_impl preset(std::vector<unsigned char> data) { return dsp_preset_impl(owner, std::move(data)); }

    linked_host host;
    plugin_hooks dll{"recorder"};
    entry configured{dll.path_utf8()};
    GUID owner = identifier_from_unique_id(0x4F526563);
};

TEST_F(SharedInstances, SameKeySharesOneInstance) {
    dll.clear();
    vst* a = acquire_vst(configured, preset(payload(7)));
    vst* b = acquire_vst(configured, preset(payload(7)));
    EXPECT_EQ(a, b);
    EXPECT_EQ(a->ref_count, 2u);
    EXPECT_EQ(dll.calls(effOpen), 1);  // opened once
    EXPECT_EQ(release_vst(a), a);
    EXPECT_EQ(dll.calls(effClose), 0);
    EXPECT_EQ(release_vst(b), nullptr);
    EXPECT_EQ(dll.calls(effClose), 1);
    EXPECT_TRUE(vst::live_set().empty());
}

// Whether the vst owning the calling record was in the live set, at each
// effOpen and effClose it sent.
std::vector<bool> g_member_at_call;
void note_membership(std::int32_t opcode, AEffect* effect) {
    if (opcode != effOpen && opcode != effClose) return;
    critical_section_scope guard(instance_lock());
    g_member_at_call.push_back(vst::live_set().count(reinterpret_cast<vst*>(effect->resvd2)) != 0);
}

TEST_F(SharedInstances, LiveSetHoldsOnlyCompleteObjects) {
    // A walk of the live set during construction or destruction (acquire_vst
    // on the playback thread) must not meet the half-built object.
    using hook_fn = void (*)(void (*)(std::int32_t, AEffect*));
    auto set_hook = dll.hook<hook_fn>("test_plugin_set_call_hook");
    ASSERT_NE(set_hook, nullptr);
    g_member_at_call.clear();
    set_hook(&note_membership);
    auto plugin = std::make_unique<vst>(configured, false);
    {
        critical_section_scope guard(instance_lock());
        EXPECT_EQ(vst::live_set().count(plugin.get()), 1u);
    }
    plugin.reset();
    set_hook(nullptr);
    EXPECT_EQ(g_member_at_call, (std::vector<bool>{false, false}));  // effOpen, effClose
}

TEST_F(SharedInstances, OtherKeyOrNoKeyLoadsAnotherInstance) {
    vst* a = acquire_vst(configured, preset(payload(7)));
    vst* b = acquire_vst(configured, preset(payload(8)));
    vst* c = acquire_vst(configured, preset({1, 2}));
    vst* d = acquire_vst(configured, preset({1, 2}));
    EXPECT_NE(a, b);
    EXPECT_NE(c, a);
    EXPECT_NE(c, b);
    EXPECT_NE(c, d);
    for (vst* v : {a, b, c, d}) EXPECT_EQ(release_vst(v), nullptr);
}

TEST_F(SharedInstances, FailedPluginIsReportedOnceAndShared) {
    entry missing("C:\\nowhere\\gone.dll");
    vst* a = acquire_vst(missing, preset(payload(3)));
    vst* b = acquire_vst(missing, preset(payload(3)));
    EXPECT_EQ(a, b);
    EXPECT_FALSE(a->loaded);
    EXPECT_EQ(host->popups().messages(), (std::vector<popup_record>{{"VST DLL doesn't exist.\r\n\r\nC:\\nowhere\\gone.dll",
                                                                       "Error", popup_message::icon_error}}));
    release_vst(a);
    release_vst(b);
}

TEST_F(SharedInstances, LastReleaseOffTheMainThreadIsDeferred) {
    vst* a = acquire_vst(configured, preset(payload(9)));
    ASSERT_TRUE(a->created_on_main_thread);
    dll.clear();
    vst* result = a;
    std::thread([&] { result = release_vst(a); }).join();
    EXPECT_EQ(result, nullptr);
    EXPECT_EQ(dll.calls(effClose), 0);
    EXPECT_EQ(host->queue().pending(), 1u);

    // While the deletion waits, the same key gets a fresh instance.
    vst* again = acquire_vst(configured, preset(payload(9)));
    EXPECT_NE(again, a);
    EXPECT_EQ(host->pump(), 1u);
    EXPECT_EQ(dll.calls(effClose), 1);
    EXPECT_EQ(vst::live_set().count(again), 1u);
    EXPECT_EQ(again->ref_count, 1u);
    EXPECT_EQ(release_vst(again), nullptr);
}

TEST_F(SharedInstances, ObjectMadeOffTheMainThreadDiesWhereReleased) {
    vst* a = nullptr;
    std::thread([&] { a = acquire_vst(configured, preset(payload(11))); }).join();
    EXPECT_FALSE(a->created_on_main_thread);
    dll.clear();
    std::thread([&] { release_vst(a); }).join();
    EXPECT_EQ(dll.calls(effClose), 1);
    EXPECT_EQ(host->queue().pending(), 0u);
}

// State goes into presets and comes back the same way wherever the
// plug-in runs.
class PresetState : public SharedInstances, public ::testing::WithParamInterface<plugin_place> {
protected:
    isolation_choice place{GetParam()};
};

TEST_P(PresetState, ParameterPayloads) {
    vst* v = acquire_vst(configured, preset(payload(1)));
    dll.clear();
    apply_preset(*v, preset(payload(1, {0.1f, 0.2f, 0.3f})));
    EXPECT_EQ(dll.log(), (std::vector<std::string>{"setParameter 0 0.1", "setParameter 1 0.2", "setParameter 2 0.3"}));

    // A count and one value: only the first parameter changes.
    dll.clear();
    apply_preset(*v, preset(payload(1, {0.9f})));
    EXPECT_EQ(dll.log(), (std::vector<std::string>{"setParameter 0 0.9"}));
    EXPECT_FLOAT_EQ(v->effect->getParameter(v->effect, 1), 0.2f);

    // Exactly eight bytes: key and count, nothing to apply.
    dll.clear();
    apply_preset(*v, preset(payload(1, {})));
    EXPECT_TRUE(dll.log().empty());

    dsp_preset_impl captured;
    capture_preset(*v, owner, captured);
    ASSERT_EQ(captured.get_data_size(), 20u);
    EXPECT_EQ(captured.get_owner(), owner);
    EXPECT_LE(u32_at(captured, 0), 32767u);
    EXPECT_EQ(u32_at(captured, 4), 3u);
    float values[3];
    std::memcpy(values, static_cast<const unsigned char*>(captured.get_data()) + 8, 12);
    EXPECT_FLOAT_EQ(values[0], 0.9f);
    EXPECT_FLOAT_EQ(values[1], 0.2f);
    EXPECT_FLOAT_EQ(values[2], 0.3f);
    EXPECT_EQ(v->current_preset.get_data_size(), 8u);  // capturing does not replace the current preset
    release_vst(v);
}

TEST_P(PresetState, ChunkPayloadsCarryTheBankChunk) {
    plugin_hooks chunky("chunky");
    entry chunky_entry(chunky.path_utf8());
    vst* v = acquire_vst(chunky_entry, preset(payload(2)));
    chunky.clear();
    dsp_preset_impl captured;
    capture_preset(*v, owner, captured);
    EXPECT_EQ(chunky.opcodes(), (std::vector<std::string>{"23 0 0"}));
    ASSERT_EQ(captured.get_data_size(), 8u + 64u);
    EXPECT_EQ(u32_at(captured, 4), 64u);
    const auto* bytes = static_cast<const unsigned char*>(captured.get_data());
    for (std::size_t i = 0; i < 64; ++i) EXPECT_EQ(bytes[8 + i], static_cast<unsigned char>('B' + i));

    std::vector<unsigned char> data = payload(2, {}, false);
    const char body[] = "\x05\x00\x00\x00state";
    data.insert(data.end(), body, body + 9);
    chunky.clear();
    apply_preset(*v, preset(data));
    EXPECT_EQ(chunky.opcodes(), (std::vector<std::string>{"24 0 5"}));
    char line[64];
    std::snprintf(line, sizeof line, "set chunk 0 5 %08x", log_hash("state", 5));
    EXPECT_EQ(chunky.log().back(), line);

    const std::int32_t empty_bank = 0x4F456D70;  // chunky's switch
    v->dispatch(k_effect_vendor_specific, empty_bank, 1);
    capture_preset(*v, owner, captured);
    EXPECT_EQ(captured.get_data_size(), 4u);
    v->dispatch(k_effect_vendor_specific, empty_bank, 0);
    release_vst(v);
}

TEST_P(PresetState, AMegabyteChunkComesBackByteForByte) {
    plugin_hooks chunky("chunky");
    vst* v = acquire_vst(entry(chunky.path_utf8()), preset(payload(3)));
    std::vector<unsigned char> state(1 << 20);
    for (std::size_t i = 0; i < state.size(); ++i) state[i] = static_cast<unsigned char>(i * 7 + i / 4096);
    std::vector<unsigned char> data = payload(3, {}, false);
    const auto size = static_cast<std::uint32_t>(state.size());
    data.insert(data.end(), reinterpret_cast<const unsigned char*>(&size), reinterpret_cast<const unsigned char*>(&size) + 4);
    data.insert(data.end(), state.begin(), state.end());
    chunky.clear();
    apply_preset(*v, preset(data));
    char line[64];
    std::snprintf(line, sizeof line, "set chunk 0 %u %08x", size, log_hash(state.data(), state.size()));
    EXPECT_EQ(chunky.log().back(), line);

    dsp_preset_impl captured;
    capture_preset(*v, owner, captured);
    ASSERT_EQ(captured.get_data_size(), data.size());
    EXPECT_EQ(u32_at(captured, 4), size);
    EXPECT_EQ(std::memcmp(static_cast<const unsigned char*>(captured.get_data()) + 8, state.data(), size), 0);
    release_vst(v);
}

ORVANE_IN_BOTH_PLACES(PresetState);

TEST_F(SharedInstances, NotLoadedCapturesTheKeyOnly) {
    entry missing("C:\\nowhere\\gone.dll");
    vst* v = acquire_vst(missing, preset(payload(4, {0.5f})));
    EXPECT_EQ(v->current_preset.get_data_size(), 12u);
    dsp_preset_impl captured;
    capture_preset(*v, owner, captured);
    EXPECT_EQ(captured.get_data_size(), 4u);
    release_vst(v);
}

TEST_F(SharedInstances, ManyThreadsAcquireAndReleaseWhileTheMainThreadPumps) {
    std::atomic<int> running{4};
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t)
        workers.emplace_back([&, t] {
            for (int i = 0; i < 60; ++i) {
                vst* v = acquire_vst(configured, preset(payload(static_cast<std::uint32_t>((i + t) % 3))));
                EXPECT_TRUE(v->loaded);
                EXPECT_GE(v->ref_count, 1u);
                EXPECT_FALSE(v->deletion_pending);
                release_vst(v);
            }
            --running;
        });
    // Main-thread instances the workers share, released here at the end.
    vst* held = acquire_vst(configured, preset(payload(0)));
    while (running > 0) host->queue().pump_wait(std::chrono::milliseconds(1));
    for (auto& w : workers) w.join();
    release_vst(held);
    host->pump();
    critical_section_scope guard(instance_lock());
    EXPECT_TRUE(vst::live_set().empty());
}

}  // namespace

// The DSP effects as the player uses them: presets, instances, popups, and
// the playback thread, all through vel_vst.dll.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <thread>

#include "../../host_standin/playback.h"
#include "../support/component_fixture.h"
#include "../support/plugin_hooks.h"
#include "../support/signals.h"

namespace {

constexpr unsigned k_recorder_id = 0x4F526563;

void fill(dsp_chunk_list& list, const std::vector<float>& samples, unsigned channels, unsigned rate = 44100) {
    auto* c = static_cast<audio_chunk_impl*>(list.insert_item(list.get_count()));
    c->set_data(samples.data(), samples.size() / channels, channels, rate, channels == 2 ? 3u : 4u);
}

class DspSlots : public ComponentFixture {
protected:
    void start_with_recorder(std::vector<unsigned char> configuration = settings_configuration(6, 4),
                             const dsp_chain_config* chain = nullptr) {
        start({plugin_record("recorder", k_recorder_id, "Recorder")}, std::move(configuration), chain);
        dll.clear();
    }
    // A slot whose plug-in DLL is missing.
    void start_broken() {
        list_record broken = plugin_record("recorder", k_recorder_id, "Broken");
        broken.module_path = "C:\\nowhere\\broken.dll";
        start({broken});
    }
    const popup_record missing{"VST DLL doesn't exist.\r\n\r\nC:\\nowhere\\broken.dll", "Error",
                               popup_message::icon_error};
    GUID recorder_guid() { return effect("Recorder")->get_guid(); }
    // Starts with a playback chain of recorder presets with these keys.
    void start_with_chain(std::initializer_list<std::uint32_t> keys, std::uint64_t declicker_size) {
        dsp_chain_config_impl chain;
        for (std::uint32_t key : keys) chain.add_item(keyed(plugin_guid(k_recorder_id), key));
        start_with_recorder(settings_configuration(6, declicker_size), &chain);
    }

    plugin_hooks dll{"recorder"};
};

TEST_F(DspSlots, DefaultPresetIsAFreshKeyOwnedByTheSlot) {
    start_with_recorder();
    dsp_preset_impl p = default_preset("Recorder");
    ASSERT_EQ(p.get_data_size(), 4u);
    EXPECT_EQ(p.get_owner(), recorder_guid());
    std::uint32_t key;
    std::memcpy(&key, p.get_data(), 4);
    EXPECT_LE(key, 32767u);
    EXPECT_TRUE(effect("Recorder")->has_config_popup());
}

TEST_F(DspSlots, InstantiateChecksTheOwner) {
    start({plugin_record("recorder", k_recorder_id, "Recorder"), plugin_record("gain", 0x4F47616E, "Gain"),
           plugin_record("recorder", k_recorder_id, "Recorder again")});
    service_ptr_t<dsp> out;
    EXPECT_FALSE(effect("Recorder")->instantiate(out, default_preset("Gain")));
    EXPECT_FALSE(out);
    // The same plug-in listed twice: one identifier, so either slot takes the preset.
    EXPECT_TRUE(effect("Recorder again")->instantiate(out, default_preset("Recorder")));
    EXPECT_TRUE(out);
}

TEST_F(DspSlots, InstancesFromOnePresetShareOnePlugin) {
    start_with_recorder();
    dsp_preset_impl p = default_preset("Recorder");
    service_ptr_t<dsp> a, b;
    ASSERT_TRUE(effect("Recorder")->instantiate(a, p));
    ASSERT_TRUE(effect("Recorder")->instantiate(b, p));
    EXPECT_EQ(dll.calls(effOpen), 1);
    a.reset();
    EXPECT_EQ(dll.calls(effClose), 0);  // still used by b
    b.reset();
    EXPECT_EQ(dll.calls(effClose), 1);

    service_ptr_t<dsp> c, d;
    effect("Recorder")->instantiate(c, keyed(recorder_guid(), 100));
    effect("Recorder")->instantiate(d, keyed(recorder_guid(), 101));
    EXPECT_EQ(dll.calls(effOpen), 3);
}

TEST_F(DspSlots, EndingAnInstanceRunsTheDeclicker) {
    for (std::uint64_t blocks : {4u, 0u}) {
        start_with_recorder(settings_configuration(6, blocks));
        service_ptr_t<dsp> d;
        ASSERT_TRUE(effect("Recorder")->instantiate(d, default_preset("Recorder")));
        dsp_chunk_list_impl list;
        fill(list, test_signal(64, 2), 2);
        d->run(&list, nullptr, 0);
        dll.clear();
        d.reset();
        std::vector<std::string> expected(blocks, "process 256");
        expected.push_back("dispatch 1 0 0 0");
        EXPECT_EQ(dll.log(), expected) << blocks;
        host.reset();
    }
}

TEST_F(DspSlots, ChunkLoopDropsEmptyChunksAndIgnoresFlags) {
    start_with_recorder();
    service_ptr_t<dsp> d;
    ASSERT_TRUE(effect("Recorder")->instantiate(d, default_preset("Recorder")));
    EXPECT_EQ(d->latency(), 0.0);
    EXPECT_TRUE(d->needs_track_change_marks());
    auto first = test_signal(100, 2), second = test_signal(80, 2, 0.25f);
    for (int flags : {0, 1, 2, 3}) {
        dsp_chunk_list_impl list;
        fill(list, first, 2);
        list.insert_item(1);  // empty
        fill(list, second, 2);
        dll.clear();
        d->run(&list, nullptr, flags);
        ASSERT_EQ(list.get_count(), 2u) << flags;
        EXPECT_EQ(std::vector<float>(list.chunk(0)->get_data(), list.chunk(0)->get_data() + 200), first);
        EXPECT_EQ(std::vector<float>(list.chunk(1)->get_data(), list.chunk(1)->get_data() + 160), second);
        std::vector<std::string> processed;
        for (const std::string& line : dll.log())
            if (line.rfind("process", 0) == 0) processed.push_back(line);
        EXPECT_EQ(processed, (std::vector<std::string>{"process 100", "process 80"})) << flags;
    }
}

TEST_F(DspSlots, PluginThatFailsPassesAudioThrough) {
    start_broken();
    service_ptr_t<dsp> d;
    ASSERT_TRUE(effect("Broken")->instantiate(d, default_preset("Broken")));
    EXPECT_EQ(host->popups().messages(), std::vector<popup_record>{missing});

    dsp_chunk_list_impl list;
    auto mono = test_signal(50, 1);
    fill(list, mono, 1, 22050);
    d->run(&list, nullptr, 0);
    ASSERT_EQ(list.get_count(), 1u);
    EXPECT_EQ(list.chunk(0)->get_channels(), 1u);
    EXPECT_EQ(list.chunk(0)->get_channel_config(), 4u);
    EXPECT_EQ(list.chunk(0)->get_sample_rate(), 22050u);
    EXPECT_EQ(std::vector<float>(list.chunk(0)->get_data(), list.chunk(0)->get_data() + 50), mono);

}

class preset_catcher final : public dsp_preset_edit_callback {
public:
    void on_preset_changed(const dsp_preset& p) override { presets.emplace_back(p); }
    std::vector<dsp_preset_impl> presets;
};

TEST_F(DspSlots, PopupOfAPluginThatFailsShowsItsDiagnosisTwiceWhenFirst) {
    start_broken();
    preset_catcher catcher;
    effect("Broken")->show_config_popup_v2(default_preset("Broken"), nullptr, catcher);
    EXPECT_EQ(host->popups().messages(), (std::vector<popup_record>{missing, missing}));
    EXPECT_TRUE(catcher.presets.empty());
}

TEST_F(DspSlots, PopupForAPluginWithoutEditor) {
    start_with_recorder();
    dsp_preset_impl p = default_preset("Recorder");
    dsp_preset_impl original = p;
    EXPECT_FALSE(effect("Recorder")->show_config_popup(p, nullptr));
    EXPECT_TRUE(p.equals(original));
    EXPECT_EQ(host->popups().messages(),
              (std::vector<popup_record>{{"This feature isn't implemented for no-GUI plug-ins yet. Sorry.",
                                          "Not implemented", popup_message::icon_information}}));
}

TEST_F(DspSlots, ChainPluginsAreLoadedAtStartAndFollowTheChainSize) {
    const GUID id = plugin_guid(k_recorder_id);
    start_with_chain({1}, 0);
    // dsp_init loaded key 1 on the main thread; an instance shares it.
    service_ptr_t<dsp> d;
    effect("Recorder")->instantiate(d, keyed(id, 1));
    EXPECT_EQ(dll.calls(effOpen), 0);
    d.reset();
    EXPECT_EQ(dll.calls(effClose), 0);

    // Same count: nothing is re-acquired, even for a new key.
    dsp_chain_config_impl swapped;
    swapped.add_item(keyed(id, 2));
    host->chain().write_chain(swapped);
    EXPECT_TRUE(dll.log().empty());

    // A new count: key 1 and key 3 are acquired before key 1's old hold goes.
    dsp_chain_config_impl grown;
    grown.add_item(keyed(id, 1));
    grown.add_item(keyed(id, 3));
    host->chain().write_chain(grown);
    EXPECT_EQ(dll.calls(effOpen), 1);
    EXPECT_EQ(dll.calls(effClose), 0);

    host->chain().write_chain(dsp_chain_config_impl());
    EXPECT_EQ(dll.calls(effClose), 2);
}

TEST_F(DspSlots, PlaybackThreadRunsTheChain) {
    start_with_chain({5}, 2);

    auto input = test_signal(1024, 2);
    int produced = 0;
    std::vector<float> output;
    playback_callbacks cb;
    cb.produce = [&](dsp_chunk_list& list) {
        if (produced++ == 3) return false;
        fill(list, input, 2);
        return true;
    };
    cb.consume = [&](dsp_chunk_list& list) {
        for (std::size_t i = 0; i < list.get_count(); ++i) {
            audio_chunk* c = list.get_item(i);
            output.insert(output.end(), c->get_data(), c->get_data() + c->get_sample_count() * c->get_channels());
        }
    };
    play(*host, cb);

    ASSERT_EQ(output.size(), 3 * input.size());
    for (std::size_t i = 0; i < output.size(); ++i) ASSERT_EQ(output[i], input[i % input.size()]) << i;
    std::vector<std::string> log = dll.log();
    std::vector<std::string> expected = {"dispatch 12 0 0 0", "dispatch 10 0 0 44100", "dispatch 12 0 1 0",
                                         "dispatch 12 0 0 0", "dispatch 11 0 1024 0",  "dispatch 12 0 1 0",
                                         "process 1024",      "process 1024",          "process 1024",
                                         "process 256",       "process 256"};
    EXPECT_EQ(log, expected);  // the chain keeps the plug-in: no effClose
}

// A plug-in that crashes in two positions of the chain, and one whose
// samples are no numbers: each is told once, and the two crashes apart.
// The first crash moves the plug-in into a process of its own for its next
// load; the second finds it moved.
TEST_F(DspSlots, MessagesSayWhichChainPositionWhenTwoUseOnePlugin) {
    constexpr unsigned k_faulty_id = 0x4F466C74, k_misbehaving_id = 0x4F4D6973;
    dsp_chain_config_impl chain;
    chain.add_item(keyed(plugin_guid(k_faulty_id), 1));
    chain.add_item(keyed(plugin_guid(k_misbehaving_id), 2));
    chain.add_item(keyed(plugin_guid(k_faulty_id), 3));
    start({plugin_record("fault_process", k_faulty_id, "Faulty"),
           plugin_record("misbehaving_not_finite", k_misbehaving_id, "Misbehaving")},
          settings_configuration(6, 0), &chain);
    int produced = 0;
    std::size_t non_finite_out = 0;
    playback_callbacks cb;
    cb.produce = [&](dsp_chunk_list& list) {
        if (produced++ == 5) return false;
        fill(list, test_signal(64, 2), 2);
        return true;
    };
    cb.consume = [&](dsp_chunk_list& list) {
        for (std::size_t i = 0; i < list.get_count(); ++i) {
            const audio_chunk* c = list.get_item(i);
            for (std::size_t k = 0; k < c->get_sample_count() * c->get_channels(); ++k)
                non_finite_out += !std::isfinite(c->get_data()[k]);
        }
    };
    play(*host, cb);
    host->pump();
    const auto crashed = [](const std::string& position, bool moved) {
        return popup_record{"The VST plug-in \"Faulty\" (chain position " + position +
                                ") crashed in processReplacing (division by zero) and has been switched off. "
                                "Its audio passes through unchanged from now on." +
                                std::string(moved ? " From its next load it runs in a process of its own." : ""),
                            "Error", popup_message::icon_error};
    };
    const popup_record not_finite{"The VST plug-in \"Misbehaving\" put out samples that are not numbers or are "
                                  "infinite. They are replaced with silence, so that they cannot silence the rest "
                                  "of the playback.",
                                  "Error", popup_message::icon_error};
    EXPECT_EQ(host->popups().messages(), (std::vector<popup_record>{not_finite, crashed("1", true), crashed("3", false)}));
    EXPECT_EQ(non_finite_out, 0u);
}

// No hooks here: nothing but the component may keep the plug-in DLL loaded.
class DspStress : public ComponentFixture {};

TEST_F(DspStress, ManyThreadsMakeAndDropInstancesThenEveryPluginIsUnloaded) {
    std::wstring path = plugin_dll("recorder");
    start({plugin_record("recorder", k_recorder_id, "Recorder")}, settings_configuration(6, 1));
    GUID id = effect("Recorder")->get_guid();
    auto entry = effect("Recorder");
    std::atomic<int> running{3};
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 40; ++i) {
                service_ptr_t<dsp> d;
                EXPECT_TRUE(entry->instantiate(d, keyed(id, static_cast<std::uint32_t>((i + t) % 3))));
                dsp_chunk_list_impl list;
                fill(list, test_signal(32, 2), 2);
                d->run(&list, nullptr, 0);
                EXPECT_EQ(list.get_count(), 1u);
            }
            --running;
        });
    // The main thread also holds an instance for a while, so some deletions are deferred.
    service_ptr_t<dsp> main_held;
    entry->instantiate(main_held, keyed(id, 0));
    while (running > 0) host->queue().pump_wait(std::chrono::milliseconds(1));
    for (auto& th : threads) th.join();
    main_held.reset();
    entry.reset();
    host->pump();
    EXPECT_EQ(host->queue().pending(), 0u);
    EXPECT_EQ(GetModuleHandleW(path.c_str()), nullptr);
}

// Nothing the component leaves behind on a thread keeps it loaded once the
// player lets it go, whichever threads loaded plug-ins through it (here the
// main thread at start and a playback thread). A thread-local buffer with a
// destructor did: the runtime pinned the DLL for it and, at the thread's
// end, ran the destructor on storage it had already freed, so the buffer was
// freed through whatever another thread had been given there (the stress
// test above crashed in about one run of a thousand).
TEST_F(DspStress, ThreadsThatLoadedPluginsDoNotKeepTheComponentLoaded) {
    dsp_chain_config_impl chain;
    chain.add_item(keyed(plugin_guid(k_recorder_id), 7));
    start({plugin_record("recorder", k_recorder_id, "Recorder")}, {}, &chain);
    auto entry = effect("Recorder");
    std::thread playback([&] {
        service_ptr_t<dsp> d;
        EXPECT_TRUE(entry->instantiate(d, keyed(plugin_guid(k_recorder_id), 8)));
    });
    playback.join();
    entry.reset();
    host->stop();
    EXPECT_EQ(GetModuleHandleW(component_dll().c_str()), nullptr);
}

}  // namespace

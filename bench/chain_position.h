#pragma once
// A plug-in acquired as the player acquires one, in its process or in one
// of its own, and one chain position's DSP instance over it: a stereo
// chunk at a time, as the player runs it.
#include <algorithm>
#include <cstring>
#include <vector>

#include "../dsp/dsp_instance.h"
#include "../host/dsp_preset.h"
#include "../prefs/advanced_settings.h"
#include "../vst/vst_ref.h"
#include "bench_table.h"

inline double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    const std::size_t at = std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())));
    return v[at];
}

inline vst_ref acquire(const entry& configured, std::uint32_t key, bool isolated) {
    every_plugin_in_own_process_setting().set_state(isolated);
    dsp_preset_impl preset;
    preset.set_data(&key, sizeof key);
    vst_ref plugin(configured, preset);
    every_plugin_in_own_process_setting().reset();
    return plugin;
}

class chain_position {
public:
    chain_position(vst_ref plugin, std::uint32_t frames) : instance_(make_service<dsp_instance>(std::move(plugin))) {
        input_.resize(2 * std::size_t{frames});
        for (std::size_t i = 0; i < input_.size(); ++i) input_[i] = static_cast<float>(i % 97) / 97.0f - 0.5f;
        list_.insert_item(0);
        frames_ = frames;
    }
    // The seconds one chunk took.
    double run_one() {
        list_.chunk(0)->set_data(input_.data(), frames_, 2, 44100, 3);
        const double start = now_seconds();
        instance_->run(&list_, nullptr, 0);
        return now_seconds() - start;
    }
    bool unchanged() {
        audio_chunk_impl* c = list_.chunk(0);
        return list_.get_count() == 1 && c->get_channels() == 2 &&
               std::memcmp(c->get_data(), input_.data(), input_.size() * sizeof(float)) == 0;
    }

private:
    service_ptr_t<dsp> instance_;
    dsp_chunk_list_impl list_;
    std::vector<float> input_;
    std::uint32_t frames_ = 0;
};

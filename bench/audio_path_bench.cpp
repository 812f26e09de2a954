// The cost per chunk of everything the component does around a plug-in,
// against the floor: the chunk's bytes copied out and back with memcpy and
// the same plug-in's copy in between. Also stereo through plug-ins matched
// to it ("Match plug-in channels to the stream"): one that reports 8/8 and
// takes the stereo layout, and a mono one run once per channel, whose floor
// calls each instance on its channel.
#include <cstring>
#include <vector>

#include "../dsp/dsp_instance.h"
#include "../host/dsp_preset.h"
#include "../prefs/advanced_settings.h"
#include "../vst/vst.h"
#include "../vst/vst_ref.h"
#include "../Helpers/utf.h"
#include "../Helpers/alloc_count.h"
#include "bench_host.h"
#include "bench_table.h"
#include "benches.h"

namespace {

// One frame: what a chunk costs whatever its length (the lock, the crash
// guard, the floating-point state, the guard zones), next to a floor that
// is little more than the call.
constexpr std::uint32_t k_frames[] = {1, 64, 256, 1024, 4096, 16384};
constexpr unsigned k_channels[] = {1, 2, 6};
// Short samples: on a loaded machine a long one rarely escapes preemption,
// and the minimum of many short ones is the clean figure.
constexpr double k_sample_seconds = 0.0005;

std::vector<float> signal(std::size_t samples) {
    std::vector<float> v(samples);
    std::uint32_t x = 12345;
    for (float& f : v) {
        x = x * 1664525u + 1013904223u;
        f = static_cast<float>(static_cast<std::int32_t>(x)) / 2147483648.0f;
    }
    return v;
}

// What the floor does with the chunk: interleaved bytes into one buffer,
// the plug-in's copy into another (each instance's on its share of the
// channels), and back.
class floor_path {
public:
    floor_path(std::vector<AEffect*> effects, unsigned channels, std::uint32_t frames)
        : effects_(std::move(effects)), frames_(frames), in_(std::size_t{channels} * frames), out_(in_.size()),
          in_ptrs_(channels), out_ptrs_(channels), share_(channels / static_cast<unsigned>(effects_.size())) {
        for (unsigned c = 0; c < channels; ++c) {
            in_ptrs_[c] = in_.data() + std::size_t{c} * frames;
            out_ptrs_[c] = out_.data() + std::size_t{c} * frames;
        }
    }
    void run(float* chunk) {
        std::memcpy(in_.data(), chunk, in_.size() * sizeof(float));
        for (std::size_t k = 0; k < effects_.size(); ++k)
            effects_[k]->processReplacing(effects_[k], in_ptrs_.data() + k * share_, out_ptrs_.data() + k * share_,
                                          static_cast<std::int32_t>(frames_));
        std::memcpy(chunk, out_.data(), out_.size() * sizeof(float));
    }

private:
    std::vector<AEffect*> effects_;
    std::uint32_t frames_;
    std::vector<float> in_, out_;
    std::vector<float*> in_ptrs_, out_ptrs_;
    std::size_t share_;
};

// One plug-in on streams of `channels` channels, with matching on or off.
struct audio_case {
    std::wstring dll;
    unsigned channels;
    bool matched;
    const char* label;  // after the channels and frames, for the matched cases
};

template <class Fn>
double time_runs(std::size_t n, Fn&& fn) {
    const double start = now_seconds();
    for (std::size_t i = 0; i < n; ++i) fn();
    return (now_seconds() - start) / static_cast<double>(n);
}

}  // namespace

int bench_audio_path(int repetitions, std::uint32_t only_frames) {
    bench_host host;
    count_allocations_in(GetModuleHandleW(nullptr));
    std::uint64_t allocations = 0, chunks = 0;
    bool same = true;
    std::vector<audio_case> cases;
    for (unsigned channels : k_channels) cases.push_back({pass_through_dll(channels), channels, false, ""});
    cases.push_back({program_folder() + L"plugins\\pass_through_any.dll", 2, true, ", 8/8 matched"});
    cases.push_back({pass_through_dll(1), 2, true, ", 1/1 x2"});
    for (const audio_case& c : cases) {
        const unsigned channels = c.channels;
        match_channels_setting().set_state(c.matched);
        entry configured(wide_to_utf8(c.dll));
        dsp_preset_impl preset;
        vst_ref reference(configured, preset);
        vst* plugin = reference.get();
        if (!plugin->loaded) {
            std::fprintf(stderr, "cannot load %s: %s\n", configured.module_path.c_str(), plugin->diagnosis.c_str());
            return 1;
        }
        service_ptr_t<dsp> instance = make_service<dsp_instance>(std::move(reference));
        for (std::uint32_t frames : k_frames) {
            if (only_frames && frames != only_frames) continue;
            const std::vector<float> input = signal(std::size_t{channels} * frames);
            dsp_chunk_list_impl list;
            list.insert_item(0);
            audio_chunk_impl* chunk = list.chunk(0);
            chunk->set_data(input.data(), frames, channels, 44100, audio_chunk::default_channel_mask(channels));
            auto component = [&] { instance->run(&list, nullptr, 0); };
            for (int i = 0; i < 3; ++i) component();  // the first chunk sets sizes, layouts and instances up
            // The instances as matching left them.
            std::vector<AEffect*> effects{plugin->effect};
            for (std::uint32_t k = 0; k < plugin->matching.further.count(); ++k)
                effects.push_back(plugin->matching.further.at(k).effect);
            floor_path floor(effects, channels, frames);
            auto baseline = [&] { floor.run(chunk->get_data()); };

            const double estimate = time_runs(8, baseline);
            const std::size_t n = estimate > 0 ? std::max<std::size_t>(1, static_cast<std::size_t>(k_sample_seconds / estimate)) : 1000;
            timings floor_times, component_times;
            for (int r = 0; r < repetitions; ++r) {
                floor_times.add(time_runs(n, baseline));
                const std::uint64_t before = allocation_count();
                const double seconds = time_runs(n, component);
                allocations += allocation_count() - before;
                component_times.add(seconds);
                chunks += n;
            }
            same = same && list.get_count() == 1 && chunk->get_channels() == channels &&
                   std::memcmp(chunk->get_data(), input.data(), input.size() * sizeof(float)) == 0;
            const std::string which = std::to_string(channels) + " ch x " + std::to_string(frames) + c.label;
            if (frames == 1) {
                print_reported_row("Audio path, fixed cost per chunk", which, floor_times, component_times);
                continue;
            }
            const double target = channels != 2 || frames < 256 ? 2.0 : frames < 1024 ? 1.4 : 1.25;
            print_ratio_row("Audio path per chunk", which, floor_times, component_times, target);
        }
        instance.reset();
    }
    match_channels_setting().reset();
    print_count_row("Allocations, component", "steady-state chunks", allocations, chunks);
    if (!same) std::fprintf(stderr, "the pass-through chain changed the audio\n");
    return same ? 0 : 1;
}

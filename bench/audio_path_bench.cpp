// The cost per chunk of everything the component does around a plug-in,
// against the floor: the chunk's bytes copied out and back with memcpy and
// the same plug-in's copy in between.
#include <cstring>
#include <vector>

#include "../dsp/dsp_instance.h"
#include "../host/dsp_preset.h"
#include "../vst/vst.h"
#include "../vst/vst_ref.h"
#include "../Helpers/utf.h"
#include "../Helpers/alloc_count.h"
#include "bench_host.h"
#include "bench_table.h"
#include "benches.h"

namespace {

constexpr std::uint32_t k_frames[] = {64, 256, 1024, 4096, 16384};
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
// the plug-in's copy into another, and back.
class floor_path {
public:
    floor_path(AEffect* effect, unsigned channels, std::uint32_t frames)
        : effect_(effect), frames_(frames), in_(std::size_t{channels} * frames), out_(in_.size()),
          in_ptrs_(channels), out_ptrs_(channels) {
        for (unsigned c = 0; c < channels; ++c) {
            in_ptrs_[c] = in_.data() + std::size_t{c} * frames;
            out_ptrs_[c] = out_.data() + std::size_t{c} * frames;
        }
    }
    void run(float* chunk) {
        std::memcpy(in_.data(), chunk, in_.size() * sizeof(float));
        effect_->processReplacing(effect_, in_ptrs_.data(), out_ptrs_.data(), static_cast<std::int32_t>(frames_));
        std::memcpy(chunk, out_.data(), out_.size() * sizeof(float));
    }

private:
    AEffect* effect_;
    std::uint32_t frames_;
    std::vector<float> in_, out_;
    std::vector<float*> in_ptrs_, out_ptrs_;
};

template <class Fn>
double time_runs(std::size_t n, Fn&& fn) {
    const double start = now_seconds();
    for (std::size_t i = 0; i < n; ++i) fn();
    return (now_seconds() - start) / static_cast<double>(n);
}

}  // namespace

int bench_audio_path(int repetitions) {
    bench_host host;
    count_allocations_in(GetModuleHandleW(nullptr));
    std::uint64_t allocations = 0, chunks = 0;
    bool same = true;
    for (unsigned channels : k_channels) {
        entry configured(wide_to_utf8(pass_through_dll(channels)));
        dsp_preset_impl preset;
        vst_ref reference(configured, preset);
        vst* plugin = reference.get();
        if (!plugin->loaded) {
            std::fprintf(stderr, "cannot load %s: %s\n", configured.module_path.c_str(), plugin->diagnosis.c_str());
            return 1;
        }
        service_ptr_t<dsp> instance = make_service<dsp_instance>(std::move(reference));
        for (std::uint32_t frames : k_frames) {
            const std::vector<float> input = signal(std::size_t{channels} * frames);
            dsp_chunk_list_impl list;
            list.insert_item(0);
            audio_chunk_impl* chunk = list.chunk(0);
            chunk->set_data(input.data(), frames, channels, 44100, audio_chunk::default_channel_mask(channels));
            floor_path floor(plugin->effect, channels, frames);
            auto component = [&] { instance->run(&list, nullptr, 0); };
            auto baseline = [&] { floor.run(chunk->get_data()); };
            for (int i = 0; i < 3; ++i) component();  // the first chunk sets sizes and allocates

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
            const double target = channels == 2 && frames >= 256 ? 1.5 : 2.0;
            print_ratio_row("Audio path per chunk", std::to_string(channels) + " ch x " + std::to_string(frames),
                            floor_times, component_times, target);
        }
        instance.reset();
    }
    print_count_row("Allocations, component", "steady-state chunks", allocations, chunks);
    if (!same) std::fprintf(stderr, "the pass-through chain changed the audio\n");
    return same ? 0 : 1;
}

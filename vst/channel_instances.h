#pragma once
// A mono plug-in on a stream of more channels runs once per channel: the
// plug-in itself serves the first channel, and further instances of it, made
// from the same DLL in the same place, serve the others. They are hidden
// behind the first: what the component sends to the first (sample rate,
// block size, state, parameters) reaches them too, the editor and a state
// capture see only the first, and they live as long as it does.
#include <atomic>
#include <cstdint>
#include <memory>

class vst;

class channel_instances {
public:
    // Channels a stream may bring beyond the first.
    static constexpr std::uint32_t k_max = 31;

    channel_instances();
    ~channel_instances();
    channel_instances(const channel_instances&) = delete;
    channel_instances& operator=(const channel_instances&) = delete;

    // Audio thread, under the first's audio lock: at least `wanted` further
    // instances of `first`, each loaded where `first` runs and given its
    // current state, sample rate and block size. False when they cannot all
    // be had; a plug-in that failed to load a further instance once is not
    // asked again.
    bool provide(vst& first, std::uint32_t wanted);
    // Any thread. Instances are only ever added, and each is complete before
    // it counts.
    std::uint32_t count() const { return count_.load(std::memory_order_acquire); }
    vst& at(std::uint32_t i) const { return *instances_[i]; }

    // Any thread, after the same call went to the first: the calls that set
    // up audio or change state reach every further instance.
    void follow_dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr, float opt);
    void follow_parameter(std::int32_t index, float value);

private:
    std::unique_ptr<vst> instances_[k_max];
    std::atomic<std::uint32_t> count_{0};
    bool failed_ = false;
};

// Whether a dispatcher call the first gets goes to its further instances.
bool followed_by_channel_instances(std::int32_t opcode);

// Audio thread: runs the first on planar channel 0 and its k-th further
// instance on channel k + 1, each with one input, for `channels` channels.
// An instance with more than one output writes its others past the
// `channels` planes (`outputs` pointers per instance, in `output_pointers`
// laid out by this call). False, leaving the outputs to be ignored, when any
// instance faulted, changed its ports or is missing.
bool run_channel_instances(vst& first, std::uint32_t channels, float** input_pointers, float** output_pointers,
                           float* output_buffer, std::size_t pitch, std::int32_t frames);

// Silence through the further instances, as through the first when its DSP
// instance ends (declicker.h); under the first's audio lock.
void declick_channel_instances(vst& first);

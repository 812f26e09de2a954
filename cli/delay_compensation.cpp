#include "delay_compensation.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "process_job.h"

std::uint64_t chain_delay(const dsp_chain_config& chain, const std::vector<instance_activity>& instances) {
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < chain.get_count(); ++i) {
        const dsp_preset& preset = chain.get_item(i);
        std::uint32_t key = 0;
        if (preset.get_data_size() < sizeof key) continue;
        std::memcpy(&key, preset.get_data(), sizeof key);
        // Positions built from one preset share one instance: each counts.
        for (const instance_activity& a : instances)
            if (a.has_key && a.key == key && a.identifier == preset.get_owner()) {
                total += a.delay_frames;
                break;
            }
    }
    return total;
}

std::size_t delay_compensation::silence_to_feed(std::size_t room) {
    const std::uint64_t wanted = dropped_target() + tail_frames_;
    const std::uint64_t left = wanted > fed_silence_ ? wanted - fed_silence_ : 0;
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(left, room));
    fed_silence_ += n;
    return n;
}

delay_compensation::span delay_compensation::take(std::size_t frames) {
    const std::uint64_t to_drop = dropped_target() > dropped_ ? dropped_target() - dropped_ : 0;
    const auto skip = static_cast<std::size_t>(std::min<std::uint64_t>(to_drop, frames));
    dropped_ += skip;
    std::size_t keep = frames - skip;
    // Until the input ends the output trails it, so nothing is cut.
    if (ended_) {
        const std::uint64_t total = input_frames_ + tail_frames_;
        const std::uint64_t left = total > written_ ? total - written_ : 0;
        keep = static_cast<std::size_t>(std::min<std::uint64_t>(left, keep));
    }
    written_ += keep;
    return {skip, keep};
}

std::uint64_t tail_frames(double seconds, unsigned rate) {
    return seconds > 0 ? static_cast<std::uint64_t>(seconds * rate + 0.5) : 0;
}

void print_delay_summary(const process_result& r) {
    const auto ms = [&](std::uint64_t frames) { return r.sample_rate ? 1000.0 * frames / r.sample_rate : 0.0; };
    if (r.delay_frames > 0)
        std::printf(r.delay_compensated ? "Delay: %llu frames (%.1f ms), taken out: the output lines up with the input\n"
                                        : "Delay: %llu frames (%.1f ms), kept: the output is that much late\n",
                    static_cast<unsigned long long>(r.delay_frames), ms(r.delay_frames));
    if (r.output_frames > r.frames)
        std::printf("Tail: %llu frames (%.2f s) after the input\n",
                    static_cast<unsigned long long>(r.output_frames - r.frames), ms(r.output_frames - r.frames) / 1000.0);
}

#pragma once
// What `process` does about the delay a chain adds, and about a tail: the
// chain's plug-ins report their delays after the first chunk; the output's
// first frames, which that delay fills with silence, are dropped, and as
// much silence again is fed after the input, so that the output has the
// input's length and lines up with it. A tail is more silence fed, and
// kept, so that a reverb or an echo rings out. Playback thread.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "../host/dsp_chain.h"
#include "script_receivers.h"

// The delay of the chain: each position adds the delay its plug-in
// instance reports (positions not running add none).
std::uint64_t chain_delay(const dsp_chain_config& chain, const std::vector<instance_activity>& instances);

class delay_compensation {
public:
    // `compensate` false: the delay stays in the output, which then ends
    // that much early; the tail is fed and kept either way.
    delay_compensation(std::uint64_t tail_frames, bool compensate)
        : tail_frames_(tail_frames), compensate_(compensate) {}

    bool delay_known() const { return known_; }
    // Once, before the first output is taken.
    void set_delay(std::uint64_t frames) {
        delay_ = frames;
        known_ = true;
    }
    std::uint64_t delay() const { return delay_; }
    bool compensates() const { return compensate_; }

    // The input ended after this many frames: from now on silence is fed,
    // and the output ends that many frames and the tail after it starts.
    void input_ended(std::uint64_t frames) {
        input_frames_ = frames;
        ended_ = true;
    }
    // After the input's end: how many frames of silence to feed next, at
    // most `room`; 0 when there is nothing more to feed.
    std::size_t silence_to_feed(std::size_t room);

    // Of `frames` frames the chain put out: how many to skip at the start,
    // and how many after those to keep.
    struct span {
        std::size_t skip;
        std::size_t keep;
    };
    span take(std::size_t frames);

    // Frames written so far.
    std::uint64_t written() const { return written_; }

private:
    std::uint64_t dropped_target() const { return compensate_ ? delay_ : 0; }

    std::uint64_t input_frames_ = 0;
    bool ended_ = false;
    std::uint64_t tail_frames_;
    bool compensate_;
    bool known_ = false;
    std::uint64_t delay_ = 0;
    std::uint64_t fed_silence_ = 0;
    std::uint64_t dropped_ = 0;
    std::uint64_t written_ = 0;
};

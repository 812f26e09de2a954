#pragma once
// "Match plug-in channels to the stream": a plug-in whose ports differ from
// the stream's channels is offered the stream's layout (a speaker
// arrangement) before the chunk that brings it; one that takes it gives the
// chunk back in the stream's layout. A mono plug-in that keeps its one
// input runs once per channel (channel_instances.h). Otherwise, and with
// the setting off, the plug-in's ports decide as always.
#include <atomic>
#include <cstdint>

#include "../host/audio_chunk.h"
#include "channel_instances.h"

class vst;

// How a chunk's channels meet the plug-in.
struct stream_fit {
    // Plug-in instances the chunk's channels are spread over: 1, or one
    // per channel for a mono plug-in.
    std::uint32_t instances = 1;
    // The chunk keeps its channel count and layout mask.
    bool keep_layout = false;
};

// What a vst keeps of its matching.
class stream_match {
public:
    // Host callback, any thread: the plug-in reported new port counts
    // (audioMasterIOChanged).
    void note_io_changed() { io_changed_.store(true, std::memory_order_release); }

    // Audio thread, under the plug-in's audio lock: the next chunk is
    // fitted afresh (a restarted plug-in knows nothing of the last fit).
    void forget_fit() {
        channels_ = 0;
        mask_ = 0;
        fit_ = {};
    }

    channel_instances further;

private:
    friend stream_fit fit_stream(vst& plugin, std::uint32_t channels, std::uint32_t mask);
    // The layout the last fit was made for (audio thread); 0 channels: none.
    std::uint32_t channels_ = 0;
    std::uint32_t mask_ = 0;
    stream_fit fit_;
    std::atomic<bool> io_changed_{false};
};

// Audio thread, under the plug-in's audio lock: how this chunk's layout
// fits the plug-in, offering it first when it is new. With the setting off:
// the plug-in's ports decide (the default), and the chunk is not asked.
stream_fit match_stream(vst& plugin, const audio_chunk& chunk);
// The same, whatever the setting says: for a plug-in loaded to find out how
// it would run.
stream_fit fit_stream(vst& plugin, std::uint32_t channels, std::uint32_t mask);

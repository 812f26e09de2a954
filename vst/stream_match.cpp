#include "stream_match.h"

#include "../prefs/advanced_settings.h"
#include "speaker_arrangement.h"
#include "vst.h"

namespace {

bool ports_are(const AEffect& e, std::uint32_t channels) {
    return plugin_port_count(e.numInputs) == channels && plugin_port_count(e.numOutputs) == channels;
}

}  // namespace

stream_fit match_stream(vst& plugin, const audio_chunk& chunk) {
    if (!match_channels_setting().get_state()) return {};
    return fit_stream(plugin, chunk.get_channels(), chunk.get_channel_config());
}

stream_fit fit_stream(vst& plugin, std::uint32_t channels, std::uint32_t mask) {
    stream_match& m = plugin.matching;
    AEffect* e = plugin.effect;
    if (!e || !plugin.usable() || channels == 0) return {};
    // The same layout as before: the same answer, unless a plug-in that took
    // it has changed its ports since (then it is offered the layout again).
    if (channels == m.channels_ && mask == m.mask_ &&
        !(m.fit_.keep_layout && m.fit_.instances == 1 && !ports_are(*e, channels)))
        return m.fit_;
    m.channels_ = channels;
    m.mask_ = mask;
    m.fit_ = {};
    if (ports_are(*e, channels)) return m.fit_ = {1, true};

    VstSpeakerArrangement layout;
    if (stream_arrangement(channels, mask, layout)) {
        // Arrangements change only while the plug-in is suspended; one that
        // never had a chunk is suspended already.
        const bool resumed = plugin.sample_rate != 0;
        VstSpeakerArrangement in = layout, out = layout;
        if (resumed) plugin.dispatch(effMainsChanged, 0, 0);
        m.io_changed_.store(false, std::memory_order_release);
        const std::intptr_t answer =
            plugin.dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<std::intptr_t>(&in), &out);
        const bool reported = m.io_changed_.exchange(false, std::memory_order_acq_rel);
        if (resumed) plugin.dispatch(effMainsChanged, 0, 1);
        // Taken: it said so (answer or callback) and its ports followed.
        if ((answer == 1 || reported) && plugin.usable() && ports_are(*e, channels)) return m.fit_ = {1, true};
    }
    // A mono plug-in that kept its one input: one instance per channel.
    if (channels > 1 && plugin.usable() && plugin_port_count(e->numInputs) == 1 &&
        plugin_port_count(e->numOutputs) > 0 && m.further.provide(plugin, channels - 1))
        return m.fit_ = {channels, true};
    return m.fit_;
}

#include "dsp_instance.h"

#include "../prefs/advanced_settings.h"
#include "../vst/audio_processing.h"
#include "../vst/channel_instances.h"
#include "../vst/declicker.h"
#include "../vst/vst.h"

dsp_instance::~dsp_instance() {
    if (!plugin_->usable()) return;
    declick(*plugin_);
    declick_channel_instances(*plugin_);
}

double dsp_instance::latency() {
    // The delay of a plug-in that passes audio through is none; one that
    // has had no chunk yet has no sample rate to measure it in.
    const vst& p = *plugin_;
    if (!report_delay_setting().get_state() || !p.usable() || !p.effect || p.sample_rate == 0) return 0.0;
    const std::int32_t frames = p.effect->initialDelay;
    return frames > 0 ? static_cast<double>(frames) / p.sample_rate : 0.0;
}

// Playback thread.
bool dsp_instance::on_chunk(audio_chunk* chunk, abort_callback&) {
    // A plug-in that failed to load, or faulted since, passes audio through;
    // one being restarted too, unless the audio is a file (then it waits).
    plugin_->await_restart_offline();
    if (!plugin_->usable()) return true;
    const bool kept = process_chunk(*plugin_, *chunk);
    // Plug-ins set their delay once they know the rate, or change it with a
    // parameter: read where the record is sure to be open.
    const AEffect* e = plugin_->effect;
    plugin_->reported_delay.store(e && e->initialDelay > 0 ? static_cast<std::uint32_t>(e->initialDelay) : 0,
                                  std::memory_order_relaxed);
    return kept;
}

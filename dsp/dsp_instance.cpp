#include "dsp_instance.h"

#include "../vst/audio_processing.h"
#include "../vst/declicker.h"
#include "../vst/vst.h"

dsp_instance::~dsp_instance() {
    if (plugin_->usable()) declick(*plugin_);
}

// Playback thread.
bool dsp_instance::on_chunk(audio_chunk* chunk, abort_callback&) {
    // A plug-in that failed to load, or faulted since, passes audio through.
    if (!plugin_->usable()) return true;
    return process_chunk(*plugin_, *chunk);
}

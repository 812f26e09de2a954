#include "dsp_instance.h"

#include "../vst/audio_processing.h"
#include "../vst/declicker.h"
#include "../vst/shared_instances.h"
#include "../vst/vst.h"

dsp_instance::~dsp_instance() {
    if (plugin_->loaded) declick(plugin_->effect);
    release_vst(plugin_);
}

// Playback thread.
bool dsp_instance::on_chunk(audio_chunk* chunk, abort_callback&) {
    if (!plugin_->loaded) return true;  // a plug-in that failed passes audio through
    return process_chunk(*plugin_, *chunk);
}

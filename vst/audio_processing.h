#pragma once
// Running host audio chunks through a loaded plug-in.
#include "../host/audio_chunk.h"

class vst;

// Audio thread; no lock, no allocation unless a size grows. Processes the
// chunk in place and answers true (the chunk stays in the stream).
bool process_chunk(vst& plugin, audio_chunk& chunk);

// The speaker layout handed back for an output channel count.
unsigned channel_mask_for(unsigned channels);

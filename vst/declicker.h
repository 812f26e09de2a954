#pragma once
// Silence run through a plug-in when a DSP instance ends, so the next
// instance sharing the plug-in does not start with the old tail.
class vst;

// Audio thread; takes turns with the plug-in's other audio (audio_lock).
void declick(vst& plugin);

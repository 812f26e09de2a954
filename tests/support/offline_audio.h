#pragma once
// While one lives, the component's audio runs as a file job's does (nothing
// is late; a plug-in in a process of its own is waited for), as the tool's
// process command asks through the scripting interface.
#include "../../vst/audio_mode.h"

class offline_audio {
public:
    explicit offline_audio(bool offline = true) { set_audio_offline(offline); }
    ~offline_audio() { set_audio_offline(false); }
    offline_audio(const offline_audio&) = delete;
    offline_audio& operator=(const offline_audio&) = delete;
};

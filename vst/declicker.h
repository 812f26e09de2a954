#pragma once
// Silence run through a plug-in when a DSP instance ends, so the next
// instance sharing the plug-in does not start with the old tail.
#include "aeffect.h"

// Audio thread, no lock.
void declick(AEffect* effect);

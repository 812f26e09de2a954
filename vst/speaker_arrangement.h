#pragma once
// A host stream's channel layout told to a plug-in as a speaker arrangement.
#include <cstdint>

#include "../plugin_api/aeffect.h"

// The arrangement of a stream of `channels` channels whose layout mask is
// `mask` (the host's speaker bits, channels in ascending bit order). False
// for a stream of no channels or of more than an arrangement record holds.
bool stream_arrangement(std::uint32_t channels, std::uint32_t mask, VstSpeakerArrangement& out);

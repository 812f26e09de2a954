#pragma once
// The planar buffers we hand a plug-in, with a guard zone after each
// channel. A plug-in that writes past the frames it was given (a loop that
// rounds up to its own block, a stereo loop run over a mono buffer) writes
// into the zone instead of into the heap, and the zone tells on it.
//
// Layout of one buffer: `channels` runs of `pitch` floats; run c holds the
// channel's frames from 0 and its zone from `frames_capacity` on.
#include <cstddef>
#include <cstdint>

// The zone after a channel of up to `frames` frames: a whole block, so a
// plug-in that writes one block too many lands in it, and at least what a
// plug-in's own internal block of a few hundred frames overruns by.
std::size_t guard_zone_size(std::uint32_t frames);

// Sets every zone of the buffer to the guard pattern.
void arm_guard_zones(float* buffer, std::uint32_t channels, std::size_t pitch, std::size_t frames_capacity);

// Whether every zone still holds the pattern. Audio thread: it reads the
// start of each zone, where an overrun that runs on from the frames begins,
// and two samples further in, so the check costs a few loads per channel
// whatever the zone.
bool guard_zones_intact(const float* buffer, std::uint32_t channels, std::size_t pitch,
                        std::size_t frames_capacity);

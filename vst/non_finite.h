#pragma once
// Samples that are not finite numbers. A NaN or an infinity that reaches
// the player's own processing (its mixer, resampler or equaliser, whose
// filters keep state) stays there and silences everything after it until
// the player restarts, so a plug-in's are replaced with silence before its
// output leaves the component.
#include <cstddef>
#include <cstdint>

// Whether samples whose bits or-ed together give `seen` may hold a NaN or
// an infinity. Such a sample sets every exponent bit of the result; samples
// below 2.0 in size, which audio is, never set the highest one, so for them
// this settles it, and only louder ones need silence_non_finite's look at
// each sample.
inline bool may_hold_non_finite(std::uint32_t seen) { return (seen & 0x7F800000u) == 0x7F800000u; }

// Replaces every NaN and infinity among `frames` samples of each of
// `channels` planar channels, `pitch` floats apart, with 0. Answers how many
// there were.
std::uint32_t silence_non_finite(float* planar, std::size_t pitch, std::uint32_t channels, std::uint32_t frames);

#include "speaker_arrangement.h"

#include <cstring>

namespace {

// The host's speaker bits, lowest first, as plug-ins name the speakers.
struct speaker {
    std::int32_t type;
    const char* name;
};
constexpr speaker k_speakers[] = {
    {kSpeakerL, "L"},     {kSpeakerR, "R"},     {kSpeakerC, "C"},     {kSpeakerLfe, "Lfe"}, {kSpeakerLs, "Ls"},
    {kSpeakerRs, "Rs"},   {kSpeakerLc, "Lc"},   {kSpeakerRc, "Rc"},   {kSpeakerS, "S"},     {kSpeakerSl, "Sl"},
    {kSpeakerSr, "Sr"},   {kSpeakerTm, "Tm"},   {kSpeakerTfl, "Tfl"}, {kSpeakerTfc, "Tfc"}, {kSpeakerTfr, "Tfr"},
    {kSpeakerTrl, "Trl"}, {kSpeakerTrc, "Trc"}, {kSpeakerTrr, "Trr"},
};
constexpr unsigned k_speaker_bits = sizeof k_speakers / sizeof k_speakers[0];

// Layouts that have a name of their own; every other one is user-defined.
struct named_layout {
    std::uint32_t channels;
    std::uint32_t mask;
    std::int32_t type;
};
constexpr named_layout k_named[] = {
    {2, 0x3, kSpeakerArrStereo}, {3, 0x7, kSpeakerArr30Cine}, {4, 0x33, kSpeakerArr40Music},
    {5, 0x37, kSpeakerArr50},    {6, 0x3F, kSpeakerArr51},    {8, 0xFF, kSpeakerArr71Cine},
};

void name_speaker(VstSpeakerProperties& s, std::int32_t type, const char* name) {
    s.type = type;
    std::strncpy(s.name, name, sizeof s.name - 1);
}

}  // namespace

bool stream_arrangement(std::uint32_t channels, std::uint32_t mask, VstSpeakerArrangement& out) {
    std::memset(&out, 0, sizeof out);
    if (channels == 0 || channels > kVstMaxArrangementSpeakers) return false;
    out.numChannels = static_cast<std::int32_t>(channels);
    // One channel is mono, whichever speaker the host put it on.
    if (channels == 1) {
        out.type = kSpeakerArrMono;
        name_speaker(out.speakers[0], kSpeakerM, "M");
        return true;
    }
    out.type = kSpeakerArrUserDefined;
    for (const named_layout& n : k_named)
        if (n.channels == channels && n.mask == mask) out.type = n.type;
    // Channels follow the mask's bits upwards; channels past the bits it
    // names (or past the bits we know) have no place.
    std::uint32_t c = 0;
    for (unsigned bit = 0; bit < k_speaker_bits && c < channels; ++bit)
        if (mask & (1u << bit)) name_speaker(out.speakers[c++], k_speakers[bit].type, k_speakers[bit].name);
    for (; c < channels; ++c) name_speaker(out.speakers[c], kSpeakerUndefined, "");
    return true;
}

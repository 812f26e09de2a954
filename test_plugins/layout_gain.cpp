// A gain whose framework reports the most channels it could take (8 in,
// 8 out) until the host offers it a speaker arrangement: output k is input
// k times k + 1. LAYOUT_ANY takes any arrangement of 1 to 8 channels: it
// answers 1 for one or two channels, and for more it tells the host through
// audioMasterIOChanged and answers 0, as some frameworks do. LAYOUT_FIXED
// refuses every one. Both log what they are offered.
#include <cstdio>
#include <string>

#include "common/test_plugin.h"

#define LAYOUT_ANY 1
#define LAYOUT_FIXED 2
#ifndef LAYOUT
#error "LAYOUT says which arrangements the plug-in takes"
#endif

namespace {

constexpr std::int32_t k_most_channels = 8;

// "arrangement IN OUT type T speakers S1 S2 ..." (the input's type and
// speakers; the output's count).
void log_offer(const VstSpeakerArrangement& in, const VstSpeakerArrangement& out) {
    std::string line = "arrangement " + std::to_string(in.numChannels) + " " + std::to_string(out.numChannels) +
                       " type " + std::to_string(in.type) + " speakers";
    for (std::int32_t c = 0; c < in.numChannels && c < kVstMaxArrangementSpeakers; ++c)
        line += " " + std::to_string(in.speakers[c].type);
    test_plugin_note(line.c_str());
}

class layout_gain final : public test_plugin {
public:
    explicit layout_gain(audioMasterCallback host)
        : test_plugin(host, {LAYOUT == LAYOUT_ANY ? 0x4F416E79 /* OAny */ : 0x4F466978 /* OFix */, k_most_channels,
                             k_most_channels, 0, effFlagsCanReplacing, 1,
                             LAYOUT == LAYOUT_ANY ? "Any Layout" : "Fixed Layout", "Orvane Labs"}) {}

    std::intptr_t dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                           float opt) override {
        if (opcode != effSetSpeakerArrangement) return test_plugin::dispatch(opcode, index, value, ptr, opt);
        const auto* in = reinterpret_cast<const VstSpeakerArrangement*>(value);
        const auto* out = static_cast<const VstSpeakerArrangement*>(ptr);
        if (!in || !out) return 0;
        log_offer(*in, *out);
        if (LAYOUT == LAYOUT_FIXED) return 0;
        if (in->numChannels < 1 || in->numChannels > k_most_channels || out->numChannels < 1 ||
            out->numChannels > k_most_channels)
            return 0;
        effect_.numInputs = shape_.inputs = in->numChannels;
        effect_.numOutputs = shape_.outputs = out->numChannels;
        if (in->numChannels <= 2) return 1;
        call_host(audioMasterIOChanged);
        return 0;
    }

    void process(float** in, float** out, std::int32_t frames) override {
        for (std::int32_t ch = 0; ch < effect_.numOutputs; ++ch) {
            const float gain = static_cast<float>(ch + 1);
            for (std::int32_t i = 0; i < frames; ++i) out[ch][i] = ch < effect_.numInputs ? in[ch][i] * gain : 0.0f;
        }
    }
};

}  // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) { return (new layout_gain(host))->record(); }

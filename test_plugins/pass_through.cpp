// Orvane Pass N: N inputs copied to N outputs, and nothing else. The
// benchmark's plug-in: unlike the other test plug-ins it keeps no call log,
// so a long run neither slows down nor grows, and its process function is
// exactly the copy the benchmark's floor makes. With PASS_ANY_LAYOUT it
// takes any speaker arrangement it is offered, its ports then following.
#include <cstring>

#include "../plugin_api/aeffect.h"

#ifndef PASS_CHANNELS
#error "PASS_CHANNELS gives the channel count"
#endif

#ifdef PASS_ANY_LAYOUT
#define PASS_NAME_TAIL " Any Layout"
#else
#define PASS_NAME_TAIL ""
#endif

#define PASS_TEXT2(n) #n
#define PASS_TEXT(n) PASS_TEXT2(n)

namespace {

constexpr std::int32_t k_channels = PASS_CHANNELS;

struct pass_through {
    AEffect effect{};
    audioMasterCallback host = nullptr;
};

void copy_text(void* ptr, const char* text) {
    if (ptr) std::strncpy(static_cast<char*>(ptr), text, kVstMaxProductStrLen - 1);
}

std::intptr_t VSTCALL dispatcher(AEffect* e, std::int32_t opcode, std::int32_t, [[maybe_unused]] std::intptr_t value,
                                 void* ptr, float) {
    switch (opcode) {
#ifdef PASS_ANY_LAYOUT
        case effSetSpeakerArrangement: {
            const auto* in = reinterpret_cast<const VstSpeakerArrangement*>(value);
            const auto* out = static_cast<const VstSpeakerArrangement*>(ptr);
            if (!in || !out || in->numChannels != out->numChannels || in->numChannels < 1 ||
                in->numChannels > k_channels)
                return 0;
            e->numInputs = e->numOutputs = in->numChannels;
            return 1;
        }
#endif
        case effClose: delete static_cast<pass_through*>(e->object); return 1;
        case effGetPlugCategory: return kPlugCategEffect;
        case effGetProductString: copy_text(ptr, "Orvane Pass " PASS_TEXT(PASS_CHANNELS) PASS_NAME_TAIL); return 1;
        case effGetVendorString: copy_text(ptr, "Orvane Labs"); return 1;
        default: return 0;
    }
}

void VSTCALL process(AEffect* e, float** in, float** out, std::int32_t frames) {
    for (std::int32_t ch = 0; ch < e->numOutputs; ++ch)
        std::memcpy(out[ch], in[ch], sizeof(float) * static_cast<std::size_t>(frames));
}

void VSTCALL set_parameter(AEffect*, std::int32_t, float) {}
float VSTCALL get_parameter(AEffect*, std::int32_t) { return 0.0f; }

}  // namespace

extern "C" __declspec(dllexport) AEffect* VSTPluginMain(audioMasterCallback host) {
    auto* p = new pass_through;
    p->host = host;
    AEffect& e = p->effect;
    e.magic = kEffectMagic;
    e.dispatcher = dispatcher;
    e.process = process;
    e.processReplacing = process;
    e.setParameter = set_parameter;
    e.getParameter = get_parameter;
    e.numPrograms = 1;
    e.numInputs = k_channels;
    e.numOutputs = k_channels;
    e.flags = effFlagsCanReplacing;
    e.ioRatio = 1.0f;
    e.object = p;
#ifdef PASS_ANY_LAYOUT
    e.uniqueID = 0x4F50534C;  // OPSL
#else
    e.uniqueID = 0x4F505330 + k_channels;  // OPS1, OPS2, OPS6
#endif
    e.version = 1000;
    return &e;
}

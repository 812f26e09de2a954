#include "opcode_names.h"

#include "../plugin_api/aeffect.h"

const char* opcode_name(std::int32_t opcode) {
    switch (opcode) {
        case effOpen: return "effOpen";
        case effClose: return "effClose";
        case effSetProgram: return "effSetProgram";
        case effGetProgram: return "effGetProgram";
        case effSetProgramName: return "effSetProgramName";
        case effGetProgramName: return "effGetProgramName";
        case effGetParamLabel: return "effGetParamLabel";
        case effGetParamDisplay: return "effGetParamDisplay";
        case effGetParamName: return "effGetParamName";
        case effSetSampleRate: return "effSetSampleRate";
        case effSetBlockSize: return "effSetBlockSize";
        case effMainsChanged: return "effMainsChanged";
        case effEditGetRect: return "effEditGetRect";
        case effEditOpen: return "effEditOpen";
        case effEditClose: return "effEditClose";
        case effEditIdle: return "effEditIdle";
        case effGetChunk: return "effGetChunk";
        case effSetChunk: return "effSetChunk";
        case effGetPlugCategory: return "effGetPlugCategory";
        case effSetSpeakerArrangement: return "effSetSpeakerArrangement";
        case effGetEffectName: return "effGetEffectName";
        case effGetVendorString: return "effGetVendorString";
        case effGetProductString: return "effGetProductString";
        case effGetVendorVersion: return "effGetVendorVersion";
        case effCanDo: return "effCanDo";
        default: return "the dispatcher";
    }
}

#pragma once
// Our declarations of the VST 2.4 plug-in interface: the effect record, the
// function types, and the opcodes, flags and categories we use.
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define VSTCALL __cdecl
#else
#define VSTCALL
#endif

struct AEffect;

using audioMasterCallback = std::intptr_t(VSTCALL*)(AEffect* effect, std::int32_t opcode, std::int32_t index,
                                                     std::intptr_t value, void* ptr, float opt);
using AEffectDispatcherProc = std::intptr_t(VSTCALL*)(AEffect* effect, std::int32_t opcode, std::int32_t index,
                                                       std::intptr_t value, void* ptr, float opt);
using AEffectProcessProc = void(VSTCALL*)(AEffect* effect, float** inputs, float** outputs, std::int32_t frames);
using AEffectProcessDoubleProc = void(VSTCALL*)(AEffect* effect, double** inputs, double** outputs,
                                                std::int32_t frames);
using AEffectSetParameterProc = void(VSTCALL*)(AEffect* effect, std::int32_t index, float value);
using AEffectGetParameterProc = float(VSTCALL*)(AEffect* effect, std::int32_t index);
// The DLL's entry function, "VSTPluginMain" or "main".
using VstPluginMainProc = AEffect*(VSTCALL*)(audioMasterCallback host);

// "VstP" read as a big-endian number.
constexpr std::int32_t kEffectMagic = 0x56737450;

struct AEffect {
    std::int32_t magic;
    AEffectDispatcherProc dispatcher;
    AEffectProcessProc process;  // the accumulating form; never called by us
    AEffectSetParameterProc setParameter;
    AEffectGetParameterProc getParameter;
    std::int32_t numPrograms;
    std::int32_t numParams;
    std::int32_t numInputs;
    std::int32_t numOutputs;
    std::int32_t flags;
    std::intptr_t resvd1;  // host's: the open editor window
    std::intptr_t resvd2;  // host's: the owning vst object
    std::int32_t initialDelay;
    std::int32_t realQualities;
    std::int32_t offQualities;
    float ioRatio;
    void* object;
    void* user;
    std::int32_t uniqueID;
    std::int32_t version;
    AEffectProcessProc processReplacing;
    AEffectProcessDoubleProc processDoubleReplacing;
    char future[56];
};

struct ERect {
    std::int16_t top;
    std::int16_t left;
    std::int16_t bottom;
    std::int16_t right;
};

enum AEffectFlags : std::int32_t {
    effFlagsHasEditor = 1 << 0,
    effFlagsCanReplacing = 1 << 4,
    effFlagsProgramChunks = 1 << 5,
    effFlagsIsSynth = 1 << 8,
};

enum AEffectOpcodes : std::int32_t {
    effOpen = 0,
    effClose = 1,
    effSetProgram = 2,
    effGetProgram = 3,
    effSetProgramName = 4,
    effGetProgramName = 5,
    effGetParamLabel = 6,
    effGetParamDisplay = 7,
    effGetParamName = 8,
    effSetSampleRate = 10,
    effSetBlockSize = 11,
    effMainsChanged = 12,
    effEditGetRect = 13,
    effEditOpen = 14,
    effEditClose = 15,
    effEditIdle = 19,
    effGetChunk = 23,
    effSetChunk = 24,
    effGetPlugCategory = 35,
    // value: the input arrangement (VstSpeakerArrangement*), ptr: the output one.
    effSetSpeakerArrangement = 42,
    effGetEffectName = 45,
    effGetVendorString = 47,
    effGetProductString = 48,
    effGetVendorVersion = 49,
    effCanDo = 51,
};

enum AudioMasterOpcodes : std::int32_t {
    audioMasterAutomate = 0,
    audioMasterVersion = 1,
    audioMasterCurrentId = 2,
    audioMasterIdle = 3,
    audioMasterGetTime = 7,
    audioMasterProcessEvents = 8,
    audioMasterIOChanged = 13,
    audioMasterSizeWindow = 15,
    audioMasterGetSampleRate = 16,
    audioMasterGetBlockSize = 17,
    audioMasterGetCurrentProcessLevel = 23,
    audioMasterGetAutomationState = 24,
    audioMasterGetVendorString = 32,
    audioMasterGetProductString = 33,
    audioMasterGetVendorVersion = 34,
    audioMasterCanDo = 37,
    audioMasterGetLanguage = 38,
    audioMasterGetDirectory = 41,
    audioMasterUpdateDisplay = 42,
    audioMasterBeginEdit = 43,
    audioMasterEndEdit = 44,
    audioMasterOpenFileSelector = 45,
};

enum VstPlugCategory : std::int32_t {
    kPlugCategUnknown = 0,
    kPlugCategEffect = 1,
    kPlugCategSynth = 2,
    kPlugCategOfflineProcess = 9,
};

// One speaker of an arrangement. Only `type` and `name` are filled by us;
// the position fields stay 0, which plug-ins read as "not given".
struct VstSpeakerProperties {
    float azimuth;
    float elevation;
    float radius;
    float reserved;
    char name[64];
    std::int32_t type;  // VstSpeakerType
    char future[28];
};

// The interface declares room for 8 speakers; a larger arrangement is a
// longer record of the same shape, which we never make.
constexpr int kVstMaxArrangementSpeakers = 8;

struct VstSpeakerArrangement {
    std::int32_t type;         // VstSpeakerArrangementType
    std::int32_t numChannels;
    VstSpeakerProperties speakers[kVstMaxArrangementSpeakers];
};

enum VstSpeakerArrangementType : std::int32_t {
    kSpeakerArrUserDefined = -2,
    kSpeakerArrEmpty = -1,
    kSpeakerArrMono = 0,
    kSpeakerArrStereo = 1,
    kSpeakerArr30Cine = 6,    // L R C
    kSpeakerArr40Music = 11,  // L R Ls Rs
    kSpeakerArr50 = 14,       // L R C Ls Rs
    kSpeakerArr51 = 15,       // L R C Lfe Ls Rs
    kSpeakerArr71Cine = 22,   // L R C Lfe Ls Rs Lc Rc
};

enum VstSpeakerType : std::int32_t {
    kSpeakerUndefined = 0x7fffffff,
    kSpeakerM = 0,
    kSpeakerL = 1,
    kSpeakerR = 2,
    kSpeakerC = 3,
    kSpeakerLfe = 4,
    kSpeakerLs = 5,
    kSpeakerRs = 6,
    kSpeakerLc = 7,
    kSpeakerRc = 8,
    kSpeakerS = 9,
    kSpeakerSl = 10,
    kSpeakerSr = 11,
    kSpeakerTm = 12,
    kSpeakerTfl = 13,
    kSpeakerTfc = 14,
    kSpeakerTfr = 15,
    kSpeakerTrl = 16,
    kSpeakerTrc = 17,
    kSpeakerTrr = 18,
};

constexpr std::intptr_t kVstAutomationOff = 1;
constexpr std::intptr_t kVstLangEnglish = 1;
constexpr std::intptr_t kVstVersion = 2400;
// Lengths the interface sets for name buffers, terminating NUL included.
constexpr int kVstMaxProgNameLen = 24;
constexpr int kVstMaxParamStrLen = 8;
constexpr int kVstMaxProductStrLen = 64;

// The layout and calling convention plug-ins were compiled against, pinned
// for both targets: a change to the declarations above that moves a field or
// changes a convention fails to build instead of failing in a user's player.
#include <cstddef>
#include <type_traits>

#if defined(_WIN64)
static_assert(sizeof(AEffect) == 192, "AEffect size");
static_assert(offsetof(AEffect, dispatcher) == 8 && offsetof(AEffect, process) == 16 &&
                  offsetof(AEffect, setParameter) == 24 && offsetof(AEffect, getParameter) == 32,
              "AEffect function pointers");
static_assert(offsetof(AEffect, numPrograms) == 40 && offsetof(AEffect, numParams) == 44 &&
                  offsetof(AEffect, numInputs) == 48 && offsetof(AEffect, numOutputs) == 52 &&
                  offsetof(AEffect, flags) == 56,
              "AEffect counts");
static_assert(offsetof(AEffect, resvd1) == 64 && offsetof(AEffect, resvd2) == 72 &&
                  offsetof(AEffect, initialDelay) == 80 && offsetof(AEffect, ioRatio) == 92 &&
                  offsetof(AEffect, object) == 96 && offsetof(AEffect, user) == 104,
              "AEffect host fields");
static_assert(offsetof(AEffect, uniqueID) == 112 && offsetof(AEffect, version) == 116 &&
                  offsetof(AEffect, processReplacing) == 120 && offsetof(AEffect, processDoubleReplacing) == 128 &&
                  offsetof(AEffect, future) == 136,
              "AEffect tail");
#else
static_assert(sizeof(AEffect) == 144, "AEffect size");
static_assert(offsetof(AEffect, dispatcher) == 4 && offsetof(AEffect, process) == 8 &&
                  offsetof(AEffect, setParameter) == 12 && offsetof(AEffect, getParameter) == 16,
              "AEffect function pointers");
static_assert(offsetof(AEffect, numPrograms) == 20 && offsetof(AEffect, numParams) == 24 &&
                  offsetof(AEffect, numInputs) == 28 && offsetof(AEffect, numOutputs) == 32 &&
                  offsetof(AEffect, flags) == 36,
              "AEffect counts");
static_assert(offsetof(AEffect, resvd1) == 40 && offsetof(AEffect, resvd2) == 44 &&
                  offsetof(AEffect, initialDelay) == 48 && offsetof(AEffect, ioRatio) == 60 &&
                  offsetof(AEffect, object) == 64 && offsetof(AEffect, user) == 68,
              "AEffect host fields");
static_assert(offsetof(AEffect, uniqueID) == 72 && offsetof(AEffect, version) == 76 &&
                  offsetof(AEffect, processReplacing) == 80 && offsetof(AEffect, processDoubleReplacing) == 84 &&
                  offsetof(AEffect, future) == 88,
              "AEffect tail");
#endif
// No pointer and no pointer-sized field: one layout on both targets, so
// the records also cross to a bridge as they are.
static_assert(sizeof(VstSpeakerProperties) == 112 && offsetof(VstSpeakerProperties, name) == 16 &&
                  offsetof(VstSpeakerProperties, type) == 80 && offsetof(VstSpeakerProperties, future) == 84,
              "VstSpeakerProperties");
static_assert(sizeof(VstSpeakerArrangement) == 904 && offsetof(VstSpeakerArrangement, numChannels) == 4 &&
                  offsetof(VstSpeakerArrangement, speakers) == 8,
              "VstSpeakerArrangement");
static_assert(sizeof(ERect) == 8 && offsetof(ERect, left) == 2 && offsetof(ERect, bottom) == 4 &&
                  offsetof(ERect, right) == 6,
              "ERect");

// Every function crossing the interface is __cdecl on x86 (x64 has one
// convention, where the keyword changes nothing).
static_assert(std::is_same<audioMasterCallback, std::intptr_t(__cdecl*)(AEffect*, std::int32_t, std::int32_t,
                                                                         std::intptr_t, void*, float)>::value,
              "host callback convention");
static_assert(std::is_same<AEffectDispatcherProc, std::intptr_t(__cdecl*)(AEffect*, std::int32_t, std::int32_t,
                                                                           std::intptr_t, void*, float)>::value,
              "dispatcher convention");
static_assert(std::is_same<AEffectProcessProc, void(__cdecl*)(AEffect*, float**, float**, std::int32_t)>::value,
              "process convention");
static_assert(std::is_same<AEffectSetParameterProc, void(__cdecl*)(AEffect*, std::int32_t, float)>::value,
              "setParameter convention");
static_assert(std::is_same<AEffectGetParameterProc, float(__cdecl*)(AEffect*, std::int32_t)>::value,
              "getParameter convention");
static_assert(std::is_same<VstPluginMainProc, AEffect*(__cdecl*)(audioMasterCallback)>::value,
              "entry function convention");
static_assert(sizeof(float) == 4 && sizeof(std::intptr_t) == sizeof(void*), "VST scalar sizes");

#include "host_callback.h"

#include <shlwapi.h>
#include <windows.h>

#include <cstring>

#include "../Helpers/utf.h"
#include "editor_link.h"
#include "plugin_call.h"
#include "vst.h"

namespace {

constexpr char k_vendor[] = "Tamsk";
constexpr char k_product[] = "Velmora Orvane";
constexpr std::intptr_t k_vendor_version = 52;

std::intptr_t can_do(const char* text) {
    if (!text) return -1;
    static const char* const yes[] = {"supplyIdle", "sizeWindow"};
    static const char* const no[] = {"supportShell",     "openFileSelector",    "closeFileSelector",
                                     "sendVstEvents",    "sendVstMidiEvent",    "sendVstTimeInfo",
                                     "receiveVstEvents", "receiveVstMidiEvent", "receiveVstTimeInfo",
                                     "reportConnectionChanges"};
    for (const char* t : yes)
        if (std::strcmp(text, t) == 0) return 1;
    for (const char* t : no)
        if (std::strcmp(text, t) == 0) return 0;
    return -1;
}

}  // namespace

// The folder of the configured module path, in the system's ANSI code page.
std::string plugin_directory_answer(const std::string& module_path) {
    std::wstring path = utf8_to_wide(module_path);
    wchar_t buffer[MAX_PATH] = {};
    // A path too long for the buffer has no folder we can name.
    if (path.size() < MAX_PATH) {
        std::memcpy(buffer, path.c_str(), path.size() * sizeof(wchar_t));
        PathRemoveFileSpecW(buffer);
    }
    int n = WideCharToMultiByte(CP_ACP, 0, buffer, -1, nullptr, 0, nullptr, nullptr);
    std::string ansi(n > 0 ? static_cast<std::size_t>(n) : 1, '\0');
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, buffer, -1, ansi.data(), n, nullptr, nullptr);
    return ansi.c_str();
}

namespace {

// Made once with the vst and never written again, so plug-in threads asking
// at the same time all read the same text.
std::intptr_t directory(vst* owner) {
    if (!owner) return 0;
    return reinterpret_cast<std::intptr_t>(owner->directory_answer.c_str());
}

}  // namespace

// Any thread: plug-ins call back from audio, editor and their own threads.
std::intptr_t VSTCALL host_callback(AEffect* effect, std::int32_t opcode, std::int32_t index, std::intptr_t value,
                                    void* ptr, float) {
    if (opcode == audioMasterIdle) {
        // Through the owner when there is one, so the call is guarded; before
        // validation records the owner the plug-in is inside its entry
        // function, which is guarded as a whole.
        auto* caller = effect ? reinterpret_cast<vst*>(effect->resvd2) : nullptr;
        if (caller)
            caller->dispatch(effEditIdle);
        else
            call_dispatcher(effect, effEditIdle);
        return 0;
    }
    auto* owner = effect ? reinterpret_cast<vst*>(effect->resvd2) : nullptr;

    switch (opcode) {
        case audioMasterAutomate: return 0;
        case audioMasterVersion: return kVstVersion;
        case audioMasterCurrentId: return effect ? effect->uniqueID : 0;
        case audioMasterProcessEvents: return 1;
        case audioMasterSizeWindow:
            request_editor_resize(effect, index, static_cast<int>(value));
            return 0;
        case audioMasterGetAutomationState: return kVstAutomationOff;
        case audioMasterGetVendorString:
            if (ptr) std::memcpy(ptr, k_vendor, sizeof k_vendor);
            return 1;
        case audioMasterGetProductString:
            if (ptr) std::memcpy(ptr, k_product, sizeof k_product);
            return 1;
        case audioMasterGetVendorVersion: return k_vendor_version;
        case audioMasterCanDo: return can_do(static_cast<const char*>(ptr));
        case audioMasterGetLanguage: return kVstLangEnglish;
        case audioMasterGetDirectory: return directory(owner);
        default: return 0;
    }
}

#include "host_callback.h"

#include <shlwapi.h>
#include <windows.h>

#include <cstring>

#include "../Helpers/thread_slot.h"
#include "../Helpers/utf.h"
#include "../prefs/advanced_settings.h"
#include "editor_link.h"
#include "guard/fp_state.h"
#include "open_records.h"
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
    // Port changes are taken only while plug-ins are matched to the stream.
    if (std::strcmp(text, "acceptIOChanges") == 0) return match_channels_setting().get_state() ? 1 : -1;
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
std::intptr_t directory(const vst* owner) {
    if (!owner) return 0;
    return reinterpret_cast<std::intptr_t>(owner->directory_answer.c_str());
}

// The plug-in's editor gets its idle call, but never on the thread that runs
// the plug-in's audio (a plug-in that asks for idle in processReplacing
// would get its editor's work inside its audio, and one that asks again in
// effEditIdle would go round there without end), and never inside another
// idle call on this thread.
const thread_value<bool> t_in_idle;

void idle(vst* owner) {
    if (!owner || t_in_idle.get() || owner->audio_thread.load(std::memory_order_relaxed) == current_teb()) return;
    t_in_idle.set(true);
    owner->dispatch(effEditIdle);
    t_in_idle.set(false);
}

const thread_value<int> t_callback_depth;

struct callback_depth_scope {
    callback_depth_scope() { t_callback_depth.set(t_callback_depth.get() + 1); }
    ~callback_depth_scope() { t_callback_depth.set(t_callback_depth.get() - 1); }
    callback_depth_scope(const callback_depth_scope&) = delete;
    callback_depth_scope& operator=(const callback_depth_scope&) = delete;
};

}  // namespace

bool inside_host_callback() { return t_callback_depth.get() > 0; }

// Any thread: plug-ins call back from audio, editor and their own threads,
// with whatever record they like. Only a record of an open instance of ours
// finds its vst; every other one is answered as for no instance.
std::intptr_t VSTCALL host_callback(AEffect* effect, std::int32_t opcode, std::int32_t index, std::intptr_t value,
                                    void* ptr, float opt) {
    callback_fp_scope host_state;
    const callback_depth_scope inside;
    // First what needs no instance. These read or write memory the plug-in
    // names, and a bad pointer faults back into the plug-in's call: nothing
    // of ours may be held then (the crash guard does not unwind).
    switch (opcode) {
        case audioMasterAutomate:
        case audioMasterIOChanged: break;
        case audioMasterVersion: return kVstVersion;
        case audioMasterProcessEvents: return 1;
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
        case audioMasterCurrentId:
        case audioMasterIdle:
        case audioMasterSizeWindow:
        case audioMasterGetDirectory: break;
        default: return 0;
    }
    // Then what asks for the instance, with our own copies of what it is.
    callback_hold hold(effect);
    vst* const owner = hold.owner();
    switch (opcode) {
        case audioMasterCurrentId: return owner ? owner->unique_id : 0;
        case audioMasterIdle: idle(owner); return 0;
        case audioMasterSizeWindow:
            if (owner) request_editor_resize(owner->effect, index, static_cast<int>(value));
            return 0;
        case audioMasterGetDirectory: return directory(owner);
        case audioMasterAutomate:
            // The host learns of the change when the editor's state is
            // captured; a plug-in running once per channel changes in every
            // instance.
            if (owner) {
                owner->matching.further.follow_parameter(index, opt);
                // A restart gives it the change back.
                if (owner->isolated()) owner->restart.note_parameter(index, opt);
            }
            return 0;
        case audioMasterIOChanged:
            if (!owner || !match_channels_setting().get_state()) return 0;
            owner->matching.note_io_changed();
            return 1;
        default: return 0;
    }
}

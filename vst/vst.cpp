#include "vst.h"

#include <shlwapi.h>

#include <cstring>
#include <vector>

#include "../Helpers/utf.h"
#include "../host/filesystem.h"
#include "../prefs/advanced_settings.h"
#include "../shell/component.h"
#include "../shell/identifier_text.h"
#include "host_callback.h"
#include "plugin_call.h"

namespace {

const char k_line_break[] = "\r\n\r\n";
// Plug-ins are asked for product and vendor in buffers larger than the
// interface's limit, so a plug-in that writes too much cannot overrun them.
constexpr std::size_t k_string_buffer = 1024;

std::string resolve_module_path(const std::string& configured) {
    std::wstring path = utf8_to_wide(configured);
    if (path.size() >= MAX_PATH || !PathIsRelativeW(path.c_str())) return configured;
    wchar_t folder[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, folder, MAX_PATH);
    PathRemoveFileSpecW(folder);
    wchar_t joined[MAX_PATH] = {};
    if (!PathCombineW(joined, folder, path.c_str())) return configured;
    return wide_to_utf8(joined);
}

bool file_exists_for_host(const std::string& path) {
    try {
        abort_callback_dummy abort;
        host_service<filesystem>()->get_stats(path.c_str(), abort);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// The file name without folder and extension: C:\fx\My.Delay.dll gives My.Delay.
std::string base_file_name(const std::string& path) {
    std::size_t cut = path.find_last_of("\\/|:");
    std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    std::size_t end = name.find('?');
    std::size_t dot = name.rfind('.', end == std::string::npos ? std::string::npos : (end ? end - 1 : 0));
    if (dot != std::string::npos && (end == std::string::npos || dot < end)) name.erase(dot);
    return name;
}

std::string ask_string(vst& v, std::int32_t opcode) {
    std::vector<char> buffer(k_string_buffer, '\0');
    v.dispatch(opcode, 0, 0, buffer.data());
    buffer.back() = '\0';
    return buffer.data();
}

}  // namespace

vst::vst(const entry& configured, bool check) : entry(configured) {
    if (validate(check)) diagnosis += "No errors detected.";
    created_on_main_thread = on_main_thread();
}

bool vst::fail(const char* text) {
    diagnosis += text;
    diagnosis += k_line_break;
    diagnosis += resolved_path_;
    return false;
}

bool vst::validate(bool check) {
    resolved_path_ = resolve_module_path(module_path);
    if (!file_exists_for_host(resolved_path_)) return fail("VST DLL doesn't exist.");

    module_.reset(LoadLibraryW(utf8_to_wide(resolved_path_).c_str()));
    if (!module_) return fail("The VST DLL refused loading.");

    FARPROC proc = GetProcAddress(module_.get(), "VSTPluginMain");
    if (!proc) proc = GetProcAddress(module_.get(), "main");
    if (!proc) return fail("The file doesn't appear to be VST DLL (no entry procedure).");

    auto main_proc = reinterpret_cast<VstPluginMainProc>(reinterpret_cast<void*>(proc));
    effect = main_proc(host_callback);
    if (!effect) return fail("Could't instantiate the VST.");
    if (effect->magic != kEffectMagic) return fail("kEffectMagic was expected.");
    record_valid_ = true;
    effect->resvd2 = reinterpret_cast<std::intptr_t>(this);

    // A negative count is as useless to a host as none.
    if (effect->numInputs <= 0 || effect->numOutputs <= 0)
        return fail("The VST plug-in has no inputs and/or outputs and hence isn't an effect.");
    channel_summary = std::to_string(effect->numInputs) + "/" + std::to_string(effect->numOutputs);

    std::intptr_t category = dispatch(effGetPlugCategory);
    if (category == kPlugCategSynth || category == kPlugCategOfflineProcess)
        return fail("The VST plug-in reports its category as synth or offline DSP.");

    has_editor = (effect->flags & effFlagsHasEditor) != 0;
    dispatch(effOpen);

    product_name = ask_string(*this, effGetProductString);
    if (product_name.empty()) product_name = base_file_name(resolved_path_);
    vendor_name = ask_string(*this, effGetVendorString);
    if (vendor_name.empty()) vendor_name = "n/s";
    spare_text = "n/a";
    identifier = identifier_from_unique_id(effect->uniqueID);

    dispatch(effSetProgram, 0, 0);
    loaded = true;
    std::int32_t limit = static_cast<std::int32_t>(output_number_limit_setting().get_value() & 0xFFFF);
    output_count = static_cast<std::uint16_t>(effect->numOutputs < limit ? effect->numOutputs : limit);
    if (check) close_plugin();
    return true;
}

vst::~vst() { close_plugin(); }

void vst::close_plugin() {
    if (effect) dispatch(effClose);
    effect = nullptr;
    module_.reset();
}

std::intptr_t vst::dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr, float opt) {
    if (!record_valid_) return 0;
    return call_dispatcher(effect, opcode, index, value, ptr, opt);
}

#include "vst.h"

#include <cstring>
#include <vector>

#include "../Helpers/utf.h"
#include "../host/filesystem.h"
#include "../prefs/advanced_settings.h"
#include "audio_mode.h"
#include "../shell/component.h"
#include "../shell/identifier_text.h"
#include "crash_move.h"
#include "host_callback.h"
#include "instance_lock.h"
#include "module_path.h"
#include "module_unload.h"
#include "opcode_names.h"
#include "open_records.h"
#include "pe_machine.h"
#include "plugin_activity.h"
#include "isolated_plugin.h"
#include "plugin_fault_report.h"

namespace {

const char k_line_break[] = "\r\n\r\n";

// The longest a restart takes: a fresh process, its DLL and entry function,
// and a state as large as any we keep.
constexpr std::uint32_t k_restart_offline_wait_ms = 120000;

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

// Whether a live vst already owns the record (walked under the instance lock).
bool record_in_use(const AEffect* record) {
    critical_section_scope guard(instance_lock());
    for (const vst* other : vst::live_set())
        if (other->effect == record) return true;
    return false;
}

// Cuts a UTF-8 text to at most `limit` bytes without splitting a character.
std::string cut_utf8(const char* text, std::size_t limit) {
    std::size_t n = ::strnlen(text, limit + 1);
    if (n <= limit) return std::string(text, n);
    n = limit;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    return std::string(text, n);
}

}  // namespace

vst::vst(const entry& configured, bool check, plugin_place place)
    : entry(configured), directory_answer(plugin_directory_answer(configured.module_path)) {
    join_activity(*this);
    if (validate(check, place)) diagnosis += "No errors detected.";
    created_on_main_thread = on_main_thread();
    constructed.store(true, std::memory_order_release);
    join_live_set();
}


// Whether another loaded instance holds this one's DLL too. This one is in
// no live set any more (or not yet) when it closes.
bool vst::module_held_elsewhere() const {
    if (!module_) return false;
    critical_section_scope guard(instance_lock());
    for (const vst* other : live_set())
        if (other != this && other->module() == module_.get()) return true;
    return false;
}

bool vst::fail(const std::string& text) {
    diagnosis += text;
    diagnosis += k_line_break;
    diagnosis += resolved_path_;
    return false;
}

bool vst::fail_to_start_bridge(std::uint16_t machine, const std::string& why) {
    if ((machine == k_machine_x86 || machine == k_machine_x64) && machine != own_machine())
        return fail(std::string("The VST DLL is a ") + (machine == k_machine_x86 ? "32-bit (x86)" : "64-bit (x64)") +
                    " DLL, which runs only in a process of its own, and that process could not be started. " + why);
    return fail("The VST plug-in's own process could not be started. " + why);
}

bool vst::load_and_enter(AEffect*& record, plugin_place place) {
    if (runs_in_own_process(resolved_path_, *this, place)) {
        isolated_ = true;
        const std::uint16_t machine = pe_machine(utf8_to_wide(resolved_path_));
        isolated_start started =
            start_isolated_plugin(resolved_path_, machine, place == plugin_place::own_process_unattended);
        switch (started.result) {
            case isolated_start::outcome::refused_loading: return fail("The VST DLL refused loading.");
            case isolated_start::outcome::no_entry:
                return fail("The file doesn't appear to be VST DLL (no entry procedure).");
            case isolated_start::outcome::cannot_start: return fail_to_start_bridge(machine, started.why);
            case isolated_start::outcome::ready: break;
        }
        bridge_ = std::move(started.plugin);
        isolated_plugin* bridged = bridge_.get();
        return guarded(k_call_entry_function, [&] { record = bridged->call_entry(); });
    }

    threads_mark_ = threads_started_so_far();
    module_.reset(LoadLibraryW(utf8_to_wide(resolved_path_).c_str()));
    if (!module_) return fail("The VST DLL refused loading.");

    FARPROC proc = GetProcAddress(module_.get(), "VSTPluginMain");
    if (!proc) proc = GetProcAddress(module_.get(), "main");
    if (!proc) return fail("The file doesn't appear to be VST DLL (no entry procedure).");

    auto main_proc = reinterpret_cast<VstPluginMainProc>(reinterpret_cast<void*>(proc));
    return guarded(k_call_entry_function, [&] { record = main_proc(host_callback); });
}

bool vst::validate(bool check, plugin_place place) {
    resolved_path_ = resolve_module_path(module_path);
    if (!file_exists_for_host(resolved_path_)) return fail("VST DLL doesn't exist.");

    AEffect* record = nullptr;
    const auto crashed = [this] { return fail(plugin_fault_diagnosis(fault_call_, fault_)); };
    if (!load_and_enter(record, place)) return faulted ? crashed() : false;
    effect = record;
    if (!effect) return fail("Could't instantiate the VST.");
    if (effect->magic != kEffectMagic) return fail("kEffectMagic was expected.");
    if (record_in_use(effect)) {
        // A plug-in that hands every caller one static record: this object
        // must neither open nor close what another instance is using.
        effect = nullptr;
        return fail("The VST plug-in returned a record that another loaded instance already uses.");
    }
    record_valid_ = true;
    unique_id = effect->uniqueID;
    effect->resvd2 = reinterpret_cast<std::intptr_t>(this);
    open_record(effect, *this);

    // A negative count is as useless to a host as none.
    if (effect->numInputs <= 0 || effect->numOutputs <= 0)
        return fail("The VST plug-in has no inputs and/or outputs and hence isn't an effect.");
    channel_summary = std::to_string(effect->numInputs) + "/" + std::to_string(effect->numOutputs);
    if (effect->numInputs > k_max_plugin_ports || effect->numOutputs > k_max_plugin_ports)
        return fail("The VST plug-in reports more inputs or outputs than the component can serve (at most " +
                    std::to_string(k_max_plugin_ports) + ").");

    const std::intptr_t answered_category = dispatch(effGetPlugCategory);
    category = static_cast<std::int32_t>(answered_category);
    if (faulted) return crashed();
    if (answered_category == kPlugCategSynth || answered_category == kPlugCategOfflineProcess)
        return fail("The VST plug-in reports its category as synth or offline DSP.");

    has_editor = (effect->flags & effFlagsHasEditor) != 0;
    dispatch(effOpen);

    product_name = ask_text(effGetProductString);
    if (product_name.empty()) product_name = base_file_name(resolved_path_);
    vendor_name = ask_text(effGetVendorString);
    if (vendor_name.empty()) vendor_name = "n/s";
    spare_text = "n/a";
    identifier = identifier_from_unique_id(effect->uniqueID);

    dispatch(effSetProgram, 0, 0);
    if (faulted) return crashed();
    loaded = true;
    if (isolated_) {
        restart.prepare();
        restart.size_parameters(parameter_count());
    }
    std::int32_t limit = static_cast<std::int32_t>(output_number_limit_setting().get_value() & 0xFFFF);
    // A damaged stored value (0, or a multiple of 65536) would hand the host
    // chunks without channels; the setting's own minimum is 1.
    if (limit < 1) limit = 1;
    output_count = static_cast<std::uint16_t>(effect->numOutputs < limit ? effect->numOutputs : limit);
    if (check) close_plugin();
    return true;
}

vst::~vst() {
    leave_live_set();
    restart.stop(bridge_.get());
    if (faulted) {
        // Its code may be in any state: no effClose, and the DLL stays mapped
        // so that nothing it left behind (threads, window procedures) points
        // into unloaded memory; what it calls back with finds nothing of us.
        if (record_valid_) close_record(effect, *this);
        effect = nullptr;
        if (module_) keep_component_loaded();
        static_cast<void>(module_.release());
        leave_activity(*this);
        return;
    }
    close_plugin();
    leave_activity(*this);
}

void vst::close_plugin() {
    restart.stop(bridge_.get());
    if (effect && record_valid_) {
        // From here on, what the plug-in's threads call back with finds
        // nothing of us, and no callback still running uses this object.
        close_record(effect, *this);
        effect->resvd1 = 0;
        effect->resvd2 = 0;
    }
    // A thread that holds the instance lock (the last reference went) must
    // not wait for a process: the bridge closes the plug-in and ends by
    // itself.
    if (bridge_ && !faulted && instance_lock().held_by_this_thread()) {
        effect = nullptr;
        bridge_->let_go();
        bridge_.reset();
        return;
    }
    if (effect) dispatch(effClose);
    effect = nullptr;
    if (faulted) return;
    unload_plugin_module(std::move(module_), threads_mark_, !module_held_elsewhere());
    bridge_.reset();
}

std::intptr_t vst::dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr, float opt) {
    if (!record_valid_ || !effect || !effect->dispatcher) return 0;
    std::intptr_t answer = 0;
    AEffect* e = effect;
    guarded(opcode_name(opcode), [&] { answer = e->dispatcher(e, opcode, index, value, ptr, opt); });
    // Further instances per channel (channel_instances.h) hear what it hears,
    // but for what a restart tells it again.
    if (matching.further.count() && followed_by_channel_instances(opcode) && !restart.on_restart_thread())
        matching.further.follow_dispatch(opcode, index, value, ptr, opt);
    return answer;
}

void vst::set_parameter(std::int32_t index, float value) {
    if (!record_valid_ || !effect || !effect->setParameter) return;
    AEffect* e = effect;
    guarded(k_call_set_parameter, [&] { e->setParameter(e, index, value); });
    if (isolated_) restart.note_parameter(index, value);
    if (matching.further.count() && !restart.on_restart_thread()) matching.further.follow_parameter(index, value);
}

float vst::get_parameter(std::int32_t index) {
    if (!record_valid_ || !effect || !effect->getParameter) return 0.0f;
    float value = 0.0f;
    AEffect* e = effect;
    guarded(k_call_get_parameter, [&] { value = e->getParameter(e, index); });
    return value;
}

bool vst::process_replacing(float** inputs, std::uint32_t input_ports, float** outputs, std::uint32_t output_ports,
                            std::int32_t frames) {
    if (!record_valid_ || !effect || !effect->processReplacing) return false;
    if (bridge_) bridge_->limit_ports(input_ports, output_ports);
    AEffect* e = effect;
    if (!guarded(k_call_process_replacing, [&] { e->processReplacing(e, inputs, outputs, frames); })) return false;
    if (!bridge_) return true;
    late_blocks.store(bridge_->late_blocks(), std::memory_order_relaxed);
    if (const char* why = bridge_->take_audio_trouble()) report_audio_not_given(*this, why);
    return !bridge_->block_skipped();
}

std::int32_t vst::parameter_count() const {
    const std::int32_t n = effect ? effect->numParams : 0;
    return n < 0 ? 0 : n > k_max_plugin_parameters ? k_max_plugin_parameters : n;
}

std::string vst::ask_text(std::int32_t opcode, std::int32_t index, std::size_t limit) {
    // One buffer per thread, zeroed for every request (a plug-in may write
    // past its terminator, and the next answer must not see that). A plain
    // array: this runtime ends a DLL's thread-local objects that have a
    // destructor after it has freed their storage, so such an object would
    // free whatever another thread has put there meanwhile.
    thread_local char buffer[k_plugin_text_buffer];
    std::fill(buffer, buffer + k_plugin_text_buffer, '\0');
    dispatch(opcode, index, 0, buffer);
    buffer[k_plugin_text_buffer - 1] = '\0';
    return cut_utf8(buffer, limit);
}

void vst::on_fault(const char* call, const plugin_fault& fault) {
    if (faulted) return;
    if (restart.on_restart_thread()) {
        // While it is given its settings again: the restart reports it.
        if (faulted.exchange(true)) return;
        fault_call_ = call;
        fault_ = fault;
        return;
    }
    fault_end end = fault_end::switched_off;
    if (bridge_ && loaded && restart_plugins_setting().get_state() && !restart.closing()) {
        // The first thread to meet the stopped process restarts it; the
        // others met the same end.
        if (restarting.exchange(true)) return;
        // A process of its own that a fault outside every call of ours ended
        // (in its editor's window, on a thread of its own) says where.
        if (const char* place = bridge_->fault_place()) call = place;
        const plugin_restart::outcome started = restart.start(*this, call, fault);
        if (started == plugin_restart::outcome::started) return;
        if (started == plugin_restart::outcome::kept_failing) end = fault_end::kept_failing;
        switch_off_after_restart(call, fault);
        restarting.store(false, std::memory_order_release);
    } else {
        if (restarting.load(std::memory_order_acquire)) return;
        if (faulted.exchange(true)) return;
        if (bridge_)
            if (const char* place = bridge_->fault_place()) call = place;
        fault_call_ = call;
        fault_ = fault;
    }
    // During validation the diagnosis carries it; afterwards the user is
    // told once, here.
    if (!loaded) return;
    // One that crashed in the player's process runs in its own from its
    // next load, if the user lets it.
    if (!bridge_ && move_after_crash(*this)) end = fault_end::moved;
    report_plugin_fault(*this, fault_call_, fault_, end);
}

void vst::switch_off_after_restart(const char* call, const plugin_fault& fault) {
    if (faulted.exchange(true)) return;
    fault_call_ = call;
    fault_ = fault;
}

void vst::await_restart_offline_slowly() {
    if (audio_offline() && !restart.on_restart_thread())
        restart.await(k_restart_offline_wait_ms);
}

void vst::count_non_finite(std::uint32_t samples) {
    if (non_finite_samples.fetch_add(samples) == 0) report_non_finite_output(*this);
}

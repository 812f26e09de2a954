#include "plugin_bridge.h"

#include <cstring>

#include "../../Helpers/utf.h"
#include "../../vst/guard/fault_codes.h"
#include "../../vst/guard/plugin_guard.h"
#include "hang_limits.h"
#include "../../vst/opcode_names.h"
#include "../../vst/pe_machine.h"

namespace {

// How long a bridge that was asked to end may take to unload the plug-in.
constexpr std::uint32_t k_unload_ms = 2000;

}  // namespace

plugin_bridge::~plugin_bridge() {
    if (!let_go_ && channel_ && !channel_->end_code()) {
        bridge_channel::call quit(*channel_, bridge::lane_control);
        if (quit.usable()) quit.msg().command = bridge::command_quit;
        if (quit.exchange(current_limit_ms(hang_limit::call)) == call_outcome::answered)
            process_->finish(k_unload_ms);
    }
    channel_.reset();
    // A process let go of ends by itself; only its handles close here.
    if (let_go_ && process_) process_->let_run();
    set_process(nullptr);
}

void plugin_bridge::set_process(std::unique_ptr<bridge_process> process) {
    {
        critical_section_scope guard(kill_lock_);
        kill_target_ = process ? process->process() : nullptr;
    }
    process_id_.store(process ? process->id() : 0, std::memory_order_relaxed);
    process_ = std::move(process);
}

void plugin_bridge::let_go() {
    if (!channel_ || channel_->end_code()) return;
    let_go_ = true;
    process_->block().header.detached.store(1);
    bridge_channel::call quit(*channel_, bridge::lane_control);
    if (!quit.usable()) return;
    quit.msg().command = bridge::command_quit;
    // Sent, not waited for: the bridge closes the plug-in and ends, and
    // answers its host calls itself meanwhile.
    quit.exchange_or_late(0, current_limit_ms(hang_limit::call));
}

plugin_bridge::opened plugin_bridge::open(const std::string& resolved_path, std::uint16_t machine, bool unattended) {
    resolved_path_ = resolved_path;
    machine_ = machine;
    unattended_ = unattended;
    const opened first = open_once(resolved_path, machine, unattended);
    // An image one of our bridges can host that did not load is given one
    // more, fresh process: a start that went wrong once (seen under heavy
    // load) must not cost the user a plug-in they have to add again. A
    // file that is no image at all is refused at once.
    if (first != opened::refused_loading || (machine != k_machine_x86 && machine != k_machine_x64)) return first;
    return open_once(resolved_path, machine, unattended);
}

plugin_bridge::opened plugin_bridge::open_once(const std::string& resolved_path, std::uint16_t machine,
                                               bool unattended) {
    const std::uint32_t open_ms = current_limit_ms(hang_limit::open);
    const std::wstring path = utf8_to_wide(resolved_path);
    const std::size_t bytes = (path.size() + 1) * sizeof(wchar_t);
    if (bytes > bridge::k_payload_bytes) return opened::refused_loading;
    set_process(bridge_process::start(machine, open_ms, start_failure_));
    if (!process_) return opened::cannot_start;
    channel_ = std::make_unique<bridge_channel>(*process_, static_cast<host_call_server&>(*this), unattended);

    opened result = opened::refused_loading;
    {
        bridge_channel::call call(*channel_, bridge::lane_control);
        bridge::message& m = call.msg();
        m.command = bridge::command_open_module;
        std::memcpy(m.payload, path.c_str(), bytes);
        m.payload_size = static_cast<std::uint32_t>(bytes);
        if (call.exchange(open_ms) == call_outcome::answered) {
            if (m.status == bridge::status_ok) result = opened::ready;
            if (m.status == bridge::status_no_entry) result = opened::no_entry;
        }
    }
    // A DLL that cannot be used leaves nothing running.
    if (result != opened::ready) {
        channel_->end(k_fault_process_ended);
        channel_.reset();
        set_process(nullptr);
    }
    return result;
}

AEffect* plugin_bridge::enter(std::uint32_t& fault) {
    bridge_channel::call call(*channel_, bridge::lane_control);
    if (!call.usable()) return {};
    bridge::message& m = call.msg();
    m.command = bridge::command_call_entry;
    fault = settle(call.exchange(current_limit_ms(hang_limit::open)), m);
    if (fault || m.status != bridge::status_ok || !m.answer) return nullptr;
    return &record_;
}

std::uint32_t plugin_bridge::settle(call_outcome outcome, const bridge::message& m) {
    switch (outcome) {
        case call_outcome::refused:
        case call_outcome::late: return 0;
        case call_outcome::gone: return channel_->end_code();
        case call_outcome::answered: break;
    }
    if (m.status == bridge::status_faulted) {
        // Nothing of it can be trusted any more, and it is never called again.
        channel_->end(m.fault_code);
        return channel_->end_code();
    }
    if (m.status == bridge::status_ok) mirror(m.record);
    return 0;
}

void plugin_bridge::set_parameter(std::int32_t index, float value, std::uint32_t& fault) {
    bridge_channel::call call(*channel_, bridge::lane_control);
    if (!call.usable()) return;
    bridge::message& m = call.msg();
    m.command = bridge::command_set_parameter;
    m.index = index;
    m.opt = value;
    fault = settle(call.exchange(current_limit_ms(hang_limit::call)), m);
}

float plugin_bridge::get_parameter(std::int32_t index, std::uint32_t& fault) {
    bridge_channel::call call(*channel_, bridge::lane_control);
    if (!call.usable()) return {};
    bridge::message& m = call.msg();
    m.command = bridge::command_get_parameter;
    m.index = index;
    m.float_answer = 0.0f;
    fault = settle(call.exchange(current_limit_ms(hang_limit::call)), m);
    return fault || m.status != bridge::status_ok ? 0.0f : m.float_answer;
}

bool plugin_bridge::enter_use() {
    users_.fetch_add(1);
    const DWORD only = only_thread_.load();
    if (!only || only == GetCurrentThreadId()) return true;
    users_.fetch_sub(1);
    return false;
}

bool plugin_bridge::begin_restart(std::string& why) {
    only_thread_.store(GetCurrentThreadId());
    // Calls into the old process end soon: it ended, or is ended below
    // once they are out, and every wait of theirs watches its life.
    if (channel_ && !channel_->end_code()) channel_->end(k_fault_process_ended);
    const ULONGLONG give_up = GetTickCount64() + current_limit_ms(hang_limit::call);
    while (users_.load() != 0) {
        if (GetTickCount64() >= give_up) {
            why = "a call into its old process did not come back";
            return false;
        }
        Sleep(1);
    }
    channel_.reset();
    set_process(nullptr);
    audio_view_.reset();
    audio_mapping_.reset();
    audio_ = nullptr;
    audio_ports_ = 0;
    audio_stride_ = 0;
    armed_frames_ = 0;
    block_skipped_ = false;
    audio_trouble_told_ = false;
    told_block_ = 0;
    chunk_view_.reset();
    chunk_mapping_.reset();
    rect_ = {};
    {
        critical_section_scope guard(kill_lock_);
        if (abandoned_) {
            why = "it was closed meanwhile";
            return false;
        }
    }
    switch (open(resolved_path_, machine_, unattended_)) {
        case opened::ready: break;
        case opened::refused_loading: why = "its DLL refused loading"; return false;
        case opened::no_entry: why = "its DLL has no entry procedure any more"; return false;
        case opened::cannot_start:
            why = "its process could not be started: " + bridge_process::executable_name(machine_) + ": " +
                  start_failure_;
            return false;
    }
    {
        // Closed while the process started: it goes at once.
        critical_section_scope guard(kill_lock_);
        if (abandoned_ && kill_target_) TerminateProcess(kill_target_, 1);
    }
    std::uint32_t fault = 0;
    const AEffect* record = enter(fault);
    if (record && !fault) return true;
    why = fault ? std::string("its entry function failed: ") + describe_fault(fault)
                : "its entry function gave no plug-in";
    return false;
}

void plugin_bridge::end_restart() { only_thread_.store(0); }

void plugin_bridge::abandon_restart() {
    critical_section_scope guard(kill_lock_);
    abandoned_ = true;
    if (kill_target_) TerminateProcess(kill_target_, 1);
}

std::uint32_t plugin_bridge::audio_busy_microseconds() const {
    return process_ ? process_->block().header.audio_busy_us.load() : 0;
}

std::uint32_t plugin_bridge::audio_allocations() const {
    return process_ ? process_->block().header.audio_allocations.load() : 0;
}

const char* plugin_bridge::fault_place() const {
    if (!process_) return nullptr;
    switch (process_->block().header.fault_place.load()) {
        case bridge::place_window_procedure: return k_call_editor_window;
        case bridge::place_window_timer: return k_call_editor_timer;
        case bridge::place_own_thread: return k_call_own_thread;
        default: return nullptr;
    }
}

isolated_start start_isolated_plugin(const std::string& resolved_path, std::uint16_t machine, bool unattended) {
    auto bridge = std::make_unique<plugin_bridge>();
    isolated_start started;
    switch (bridge->open(resolved_path, machine, unattended)) {
        case plugin_bridge::opened::ready:
            started.result = isolated_start::outcome::ready;
            started.plugin = std::move(bridge);
            break;
        case plugin_bridge::opened::refused_loading: started.result = isolated_start::outcome::refused_loading; break;
        case plugin_bridge::opened::no_entry: started.result = isolated_start::outcome::no_entry; break;
        case plugin_bridge::opened::cannot_start:
            started.result = isolated_start::outcome::cannot_start;
            started.why = bridge_process::executable_name(machine) + ": " + bridge->start_failure();
            break;
    }
    return started;
}

std::uint32_t isolated_load_limit_ms() { return current_limit_ms(hang_limit::open); }

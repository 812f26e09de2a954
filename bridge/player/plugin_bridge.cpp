#include "plugin_bridge.h"

#include <cstring>

#include "../../Helpers/utf.h"
#include "../../vst/guard/fault_codes.h"
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
    process_.reset();
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
    process_ = bridge_process::start(machine, open_ms, start_failure_);
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
        process_.reset();
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

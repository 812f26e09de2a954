#include "plugin_fault_report.h"

#include <cstdio>
#include <cstring>

#include "../host/dsp_config.h"
#include "../host/main_thread.h"
#include "../shell/component.h"
#include "../shell/popups.h"
#include "instance_lock.h"
#include "guard/fault_codes.h"
#include "plugin_memory.h"
#include "plugin_restart.h"
#include "vst.h"

namespace {

// Who a message is about, taken when the plug-in misbehaved: its product
// name, and what finds its position in the host's chain (the identifier
// its presets carry, and the instance key of its current one).
struct subject {
    std::string product;
    GUID identifier{};
    bool keyed = false;
    std::uint32_t key = 0;
};

std::uint32_t key_of(const dsp_preset& preset) {
    std::uint32_t key = 0;
    if (preset.get_data_size() >= sizeof key) std::memcpy(&key, preset.get_data(), sizeof key);
    return key;
}

// Any thread, the audio thread too: the current preset changes only under
// the instance lock, which is taken only if free at once (a thread loading a
// plug-in may hold it for long); without it the message names no position.
subject subject_of(const vst& plugin) {
    subject s;
    s.product = plugin.product_name;
    s.identifier = plugin.identifier;
    if (instance_lock().try_enter()) {
        s.keyed = plugin.current_preset.get_data_size() >= sizeof s.key;
        s.key = key_of(plugin.current_preset);
        instance_lock().leave();
    }
    return s;
}

// Main thread: "NAME" in quotes, and the chain position when more than one
// position of the host's chain uses this plug-in.
std::string named(const subject& s) {
    std::string name = "\"" + s.product + "\"";
    if (!s.keyed || !services_available() || !on_main_thread()) return name;
    try {
        dsp_chain_config_impl chain;
        host_service<dsp_config_manager>()->read_chain(chain);
        std::size_t users = 0, position = 0;
        for (std::size_t i = 0; i < chain.get_count(); ++i) {
            const dsp_preset& preset = chain.get_item(i);
            if (preset.get_owner() != s.identifier) continue;
            ++users;
            if (key_of(preset) == s.key) position = i + 1;
        }
        if (users > 1 && position) name += " (chain position " + std::to_string(position) + ")";
    } catch (const std::exception&) {
        // No chain to read: the product name alone.
    }
    return name;
}

void show(const std::string& text) {
    try {
        show_popup(text, k_title_error, popup_message::icon_error);
    } catch (const std::exception&) {
        // No message service: the plug-in is dealt with all the same.
    }
}

// A message whose text is finished on the main thread, where the chain can
// be read: `before` NAME `after`.
class plugin_message : public main_thread_callback {
public:
    plugin_message(subject who, std::string before, std::string after)
        : who_(std::move(who)), before_(std::move(before)), after_(std::move(after)) {}
    bool query(service_base*& out, const GUID& guid) override {
        return answer_query<plugin_message, main_thread_callback>(this, out, guid);
    }
    void run() override { show(text()); }
    std::string text() const { return before_ + named(who_) + after_; }

private:
    subject who_;
    std::string before_, after_;
};

// Queued even on the main thread: the plug-in may have misbehaved inside a
// call made under the instance lock, and a message box's loop must not run
// there. A thread that captures its messages shows no box and wants them
// now, not after it returned.
void tell(const vst& plugin, std::string before, std::string after) {
    service_ptr_t<plugin_message> message =
        make_service<plugin_message>(subject_of(plugin), std::move(before), std::move(after));
    if (services_available() && !popup_capture::active()) {
        try {
            host_service<main_thread_callback_manager>()->add_callback(message.get());
            return;
        } catch (const std::exception&) {
            // No queue: show it from here rather than not at all.
        }
    }
    show(message->text());
}

// "65.0 MB": sizes as a user reads them.
std::string megabytes(std::uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    return text;
}

// A plug-in whose process stopped answering did not crash: it was ended.
const char* what_happened(const plugin_fault& fault) {
    return fault.code == k_fault_process_hung ? "stopped answering in " : "crashed in ";
}

}  // namespace

std::string plugin_fault_diagnosis(const char* call, const plugin_fault& fault) {
    return std::string("The VST plug-in ") + what_happened(fault) + call + " (" + describe_fault(fault.code) + ").";
}

std::string plugin_fault_summary(const char* call, const plugin_fault& fault) {
    return std::string(what_happened(fault)) + (call ? call : "a call") + " (" + describe_fault(fault.code) + ")";
}

void report_plugin_fault(const vst& plugin, const char* call, const plugin_fault& fault, fault_end end) {
    std::string after = " " + plugin_fault_summary(call, fault) + " and has been switched off";
    if (end == fault_end::kept_failing)
        after += ": it kept failing, after " + std::to_string(k_max_restarts) + " restarts within a minute";
    after += ". Its audio passes through unchanged from now on.";
    if (end == fault_end::moved) after += " From its next load it runs in a process of its own.";
    tell(plugin, "The VST plug-in ", after);
}

void report_plugin_restarted(const vst& plugin, const char* call, const plugin_fault& fault, std::uint32_t count,
                             std::uint32_t limit) {
    tell(plugin, "The VST plug-in ",
         " " + plugin_fault_summary(call, fault) + "; it was restarted with its settings (" + std::to_string(count) +
             " of " + std::to_string(limit) + ").");
}

void report_restart_failed(const vst& plugin, const char* call, const plugin_fault& fault, const std::string& why) {
    tell(plugin, "The VST plug-in ",
         " " + plugin_fault_summary(call, fault) + " and could not be restarted: " + why +
             ". It has been switched off. Its audio passes through unchanged from now on.");
}

void report_chunk_too_large(const vst& plugin, std::uint64_t bytes, chunk_direction direction) {
    const std::string limit = megabytes(static_cast<std::uint64_t>(k_max_plugin_chunk));
    if (direction == chunk_direction::from_plugin)
        tell(plugin, "The VST plug-in ",
             " gave a state of " + megabytes(bytes) + ", more than the " + limit +
                 " the component keeps. It was not kept; the state saved before stays.");
    else
        tell(plugin, "A state of " + megabytes(bytes) + " was not given to the VST plug-in ",
             ": it is more than the " + limit + " the component hands to a plug-in. The plug-in keeps its state.");
}

void report_audio_not_given(const vst& plugin, const char* why) {
    tell(plugin, "The VST plug-in ",
         std::string(" could not be given a chunk of audio (") + why + "). That chunk passed through unchanged.");
}

void report_non_finite_output(const vst& plugin) {
    tell(plugin, "The VST plug-in ",
         " put out samples that are not numbers or are infinite. They are replaced with silence, so that they "
         "cannot silence the rest of the playback.");
}

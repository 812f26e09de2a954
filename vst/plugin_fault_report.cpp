#include "plugin_fault_report.h"

#include "../host/main_thread.h"
#include "../shell/component.h"
#include "../shell/popups.h"
#include "bridge_faults.h"
#include "vst.h"

namespace {

class show_fault_message : public main_thread_callback {
public:
    explicit show_fault_message(std::string text) : text_(std::move(text)) {}
    bool query(service_base*& out, const GUID& guid) override {
        return answer_query<show_fault_message, main_thread_callback>(this, out, guid);
    }
    void run() override { show(text_); }

    static void show(const std::string& text) {
        try {
            show_popup(text, k_title_error, popup_message::icon_error);
        } catch (const std::exception&) {
            // No message service: the plug-in is switched off all the same.
        }
    }

private:
    std::string text_;
};

// A plug-in whose process stopped answering did not crash: it was ended.
const char* what_happened(const plugin_fault& fault) {
    return fault.code == k_fault_process_hung ? "stopped answering in " : "crashed in ";
}

}  // namespace

std::string plugin_fault_diagnosis(const char* call, const plugin_fault& fault) {
    return std::string("The VST plug-in ") + what_happened(fault) + call + " (" + describe_fault(fault.code) + ").";
}

void report_plugin_fault(const vst& plugin, const char* call, const plugin_fault& fault) {
    std::string text = "The VST plug-in \"" + plugin.product_name + "\" " + what_happened(fault) + call + " (" +
                       describe_fault(fault.code) +
                       ") and has been switched off. Its audio passes through unchanged from now on.";
    // Queued even on the main thread: the fault may have come inside a call
    // made under the instance lock, and a message box's loop must not run
    // there. A thread that captures its messages shows no box and wants
    // them now, not after it returned.
    if (services_available() && !popup_capture::active()) {
        try {
            service_ptr_t<main_thread_callback> job = make_service<show_fault_message>(text);
            host_service<main_thread_callback_manager>()->add_callback(job.get());
            return;
        } catch (const std::exception&) {
            // No queue: show it from here rather than not at all.
        }
    }
    show_fault_message::show(text);
}

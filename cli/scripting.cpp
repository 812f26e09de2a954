#include "scripting.h"

#include "../host_standin/component_host.h"
#include "cli_error.h"

namespace {

// A failed operation is the command's error, in the component's words.
void check(vst_script_status status, const text_receiver& error) {
    if (status == vst_script_ok) return;
    throw cli_error(error.text.empty() ? "the component failed (status " + std::to_string(status) + ") without a reason"
                                       : error.text);
}

}  // namespace

component_scripting::component_scripting(component_host& host, const std::string& component_name) {
    try {
        service_ = host.service<vst_scripting>();
    } catch (const std::exception&) {
        throw cli_error(component_name + " has no scripting interface; this orvane needs version " +
                        std::to_string(k_vst_scripting_version) + " of it");
    }
    const std::uint32_t version = service_->version();
    if (version != k_vst_scripting_version)
        throw cli_error(component_name + " has scripting interface version " + std::to_string(version) +
                        "; this orvane knows only version " + std::to_string(k_vst_scripting_version));
}

std::vector<listed_plugin> component_scripting::list() {
    entry_receiver entries;
    text_receiver error;
    check(service_->list(entries, error), error);
    return std::move(entries.entries);
}

listed_plugin component_scripting::add(const std::string& module_path, bool own_process, std::size_t& position) {
    entry_receiver added;
    text_receiver error;
    check(service_->add(module_path.c_str(), own_process ? vst_script_add_own_process : 0u, added, error), error);
    if (added.entries.size() != 1) throw cli_error("the component reported no added plug-in");
    position = added.positions.front();
    return std::move(added.entries.front());
}

void component_scripting::remove(std::size_t position, const GUID& identifier) {
    entry_receiver removed;
    text_receiver error;
    check(service_->remove(static_cast<std::uint32_t>(position), identifier, removed, error), error);
}

listed_plugin component_scripting::set_own_process(std::size_t position, const GUID& identifier, bool own) {
    entry_receiver changed;
    text_receiver error;
    check(service_->set_own_process(static_cast<std::uint32_t>(position), identifier, own ? 1u : 0u, changed, error),
          error);
    if (changed.entries.size() != 1) throw cli_error("the component reported no plug-in");
    return std::move(changed.entries.front());
}

std::vector<listed_plugin> component_scripting::import_legacy(std::size_t& replaced, std::string& source) {
    entry_receiver imported;
    std::uint32_t before = 0;
    text_receiver where, error;
    check(service_->import_legacy(imported, before, where, error), error);
    replaced = before;
    source = where.text;
    return std::move(imported.entries);
}

preset_report component_scripting::parameters(const dsp_preset& preset, const std::string& subject) {
    plugin_receiver out;
    text_receiver error;
    check(service_->get_parameters(preset_record(preset), subject.c_str(), out, error), error);
    return std::move(out.report);
}

preset_report component_scripting::set_parameter(const dsp_preset& preset, const std::string& subject,
                                                 std::uint32_t index, float value) {
    plugin_receiver out;
    text_receiver error;
    check(service_->set_parameter(preset_record(preset), subject.c_str(), index, value, out, error), error);
    return std::move(out.report);
}

preset_report component_scripting::load_program(const dsp_preset& preset, const std::string& subject,
                                                const std::string& path) {
    plugin_receiver out;
    text_receiver error;
    check(service_->load_program(preset_record(preset), subject.c_str(), path.c_str(), out, error), error);
    return std::move(out.report);
}

std::vector<instance_activity> component_scripting::activity() {
    activity_receiver seen;
    text_receiver error;
    check(service_->activity(seen, error), error);
    return std::move(seen.instances);
}

void component_scripting::set_offline(bool offline) {
    text_receiver error;
    check(service_->set_offline(offline ? 1u : 0u, error), error);
}

plugin_fit component_scripting::stream_fit(std::size_t position, const GUID& identifier, unsigned channels,
                                           unsigned mask) {
    vst_script_stream_fit fit{};
    text_receiver error;
    check(service_->stream_fit(static_cast<std::uint32_t>(position), identifier, channels, mask, fit, error), error);
    return {fit.inputs, fit.outputs, fit.instances, (fit.flags & vst_script_fit_keeps_layout) != 0};
}

scan_report component_scripting::scan(const std::string& folder, std::uint32_t flags, std::uint32_t jobs,
                                      const std::function<bool(const vst_script_scan_progress&)>& progress) {
    scan_receiver out(progress);
    text_receiver error;
    check(service_->scan(folder.c_str(), flags, jobs, out, error), error);
    return std::move(out.report);
}

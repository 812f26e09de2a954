#include "scripting.h"

#include "../host_standin/component_host.h"
#include "cli_error.h"

namespace {

// The receivers hand nothing back but what they were given: nothing in them
// may throw into the component.
class text_receiver final : public vst_script_text {
public:
    void VST_SCRIPTING_CALL set(const char* utf8, std::uint32_t length) noexcept override {
        text.assign(utf8 ? utf8 : "", utf8 ? length : 0);
    }
    std::string text;
};

std::string text_of(const char* utf8) { return utf8 ? utf8 : ""; }

class entry_receiver final : public vst_script_entry_sink {
public:
    void VST_SCRIPTING_CALL on_entry(std::uint32_t position, const vst_script_entry& e) noexcept override {
        last_position = position;
        entries.push_back({text_of(e.product_name), text_of(e.vendor_name), text_of(e.channel_summary),
                           text_of(e.module_path), e.identifier, (e.flags & vst_script_entry_has_editor) != 0});
    }
    std::vector<listed_plugin> entries;
    std::uint32_t last_position = 0;
};

class plugin_receiver final : public vst_script_plugin_sink {
public:
    void VST_SCRIPTING_CALL on_plugin(const char* product_name, std::uint32_t) noexcept override {
        report.product_name = text_of(product_name);
    }
    void VST_SCRIPTING_CALL on_parameter(const vst_script_parameter& p) noexcept override {
        report.parameters.push_back({p.index, p.value, text_of(p.name), text_of(p.display), text_of(p.label)});
    }
    void VST_SCRIPTING_CALL on_preset(const vst_script_preset& p) noexcept override {
        report.preset = dsp_preset_impl(p.owner, p.data ? std::vector<unsigned char>(p.data, p.data + p.size)
                                                        : std::vector<unsigned char>());
    }
    preset_report report;
};

// A failed operation is the command's error, in the component's words.
void check(vst_script_status status, const text_receiver& error) {
    if (status == vst_script_ok) return;
    throw cli_error(error.text.empty() ? "the component failed (status " + std::to_string(status) + ") without a reason"
                                       : error.text);
}

vst_script_preset record_of(const dsp_preset& preset) {
    return {preset.get_owner(), static_cast<const std::uint8_t*>(preset.get_data()),
            static_cast<std::uint32_t>(preset.get_data_size())};
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

listed_plugin component_scripting::add(const std::string& module_path, std::size_t& position) {
    entry_receiver added;
    text_receiver error;
    check(service_->add(module_path.c_str(), 0, added, error), error);
    if (added.entries.size() != 1) throw cli_error("the component reported no added plug-in");
    position = added.last_position;
    return std::move(added.entries.front());
}

void component_scripting::remove(std::size_t position, const GUID& identifier) {
    entry_receiver removed;
    text_receiver error;
    check(service_->remove(static_cast<std::uint32_t>(position), identifier, removed, error), error);
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
    check(service_->get_parameters(record_of(preset), subject.c_str(), out, error), error);
    return std::move(out.report);
}

preset_report component_scripting::set_parameter(const dsp_preset& preset, const std::string& subject,
                                                 std::uint32_t index, float value) {
    plugin_receiver out;
    text_receiver error;
    check(service_->set_parameter(record_of(preset), subject.c_str(), index, value, out, error), error);
    return std::move(out.report);
}

preset_report component_scripting::load_program(const dsp_preset& preset, const std::string& subject,
                                                const std::string& path) {
    plugin_receiver out;
    text_receiver error;
    check(service_->load_program(record_of(preset), subject.c_str(), path.c_str(), out, error), error);
    return std::move(out.report);
}

#pragma once
// The component's scripting interface as the tool uses it: the component's
// one service of that class, at the version this tool knows, with every
// failure turned into a cli_error that carries the component's own text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "../host/dsp_preset.h"
#include "../host/vst_scripting.h"

class component_host;

struct listed_plugin {
    std::string product_name;
    std::string vendor_name;
    std::string channel_summary;
    std::string module_path;
    GUID identifier{};
    bool has_editor = false;
};

struct plugin_parameter {
    std::uint32_t index = 0;
    float value = 0.0f;
    std::string name;
    std::string display;
    std::string label;
};

// What an operation on a preset reports.
struct preset_report {
    std::string product_name;
    std::vector<plugin_parameter> parameters;
    dsp_preset_impl preset;  // the plug-in's new state, from set_parameter and load_program
};

class component_scripting {
public:
    // Refuses, with one line, a component without the interface or with a
    // version of it this tool does not know.
    component_scripting(component_host& host, const std::string& component_name);

    std::vector<listed_plugin> list();
    // The added plug-in; `position` receives its place in the list (from 0).
    listed_plugin add(const std::string& module_path, std::size_t& position);
    void remove(std::size_t position, const GUID& identifier);
    std::vector<listed_plugin> import_legacy(std::size_t& replaced, std::string& source);

    // `subject` names the preset in the component's error texts.
    preset_report parameters(const dsp_preset& preset, const std::string& subject);
    preset_report set_parameter(const dsp_preset& preset, const std::string& subject, std::uint32_t index,
                                float value);
    preset_report load_program(const dsp_preset& preset, const std::string& subject, const std::string& path);

private:
    service_ptr_t<vst_scripting> service_;
};

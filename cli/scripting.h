#pragma once
// The component's scripting interface as the tool uses it: the component's
// one service of that class, at the version this tool knows, with every
// failure turned into a cli_error that carries the component's own text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "script_receivers.h"

class component_host;

class component_scripting {
public:
    // Refuses, with one line, a component without the interface or with a
    // version of it this tool does not know.
    component_scripting(component_host& host, const std::string& component_name);

    std::vector<listed_plugin> list();
    // The added plug-in; `position` receives its place in the list (from 0).
    // With `own_process` it is checked in, and runs in, a process of its own.
    listed_plugin add(const std::string& module_path, bool own_process, std::size_t& position);
    void remove(std::size_t position, const GUID& identifier);
    // The plug-in as it is after the change.
    listed_plugin set_own_process(std::size_t position, const GUID& identifier, bool own);
    std::vector<listed_plugin> import_legacy(std::size_t& replaced, std::string& source);

    // `subject` names the preset in the component's error texts.
    preset_report parameters(const dsp_preset& preset, const std::string& subject);
    preset_report set_parameter(const dsp_preset& preset, const std::string& subject, std::uint32_t index,
                                float value);
    preset_report load_program(const dsp_preset& preset, const std::string& subject, const std::string& path);

    // Any thread, also while another is stuck inside a plug-in.
    std::vector<instance_activity> activity();
    // The audio is a file processed faster than real time (true), or played.
    void set_offline(bool offline);

    // Loads the listed plug-in to find out how it meets a stream of that
    // layout with "Match plug-in channels to the stream" on.
    plugin_fit stream_fit(std::size_t position, const GUID& identifier, unsigned channels, unsigned mask);

    // Scans a folder (vst_script_scan_* flags); `progress` hears how it goes
    // and cancels it by answering false.
    scan_report scan(const std::string& folder, std::uint32_t flags, std::uint32_t jobs,
                     const std::function<bool(const vst_script_scan_progress&)>& progress);

private:
    service_ptr_t<vst_scripting> service_;
};

#pragma once
// What the component's scripting interface hands back, kept as the tool's
// own values. The receivers take only what they are given: nothing in them
// may throw into the component.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "../host/dsp_preset.h"
#include "../host/vst_scripting.h"

struct listed_plugin {
    std::string product_name;
    std::string vendor_name;
    std::string channel_summary;
    std::string module_path;
    GUID identifier{};
    bool has_editor = false;
    // Where it runs from its next load.
    bool own_process_chosen = false;   // the user chose a process of its own
    bool other_architecture = false;   // a DLL of the other architecture: always in its own
    bool own_process = false;          // in its own, for either reason or as every plug-in
    bool moved_after_crash = false;    // chosen for it after it crashed in the player's process
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
    std::uint32_t parameter_count = 0;
    std::vector<plugin_parameter> parameters;
    dsp_preset_impl preset;  // the plug-in's new state, from set_parameter and load_program
};

// A preset as the interface takes it; it points into `preset`.
inline vst_script_preset preset_record(const dsp_preset& preset) {
    return {preset.get_owner(), static_cast<const std::uint8_t*>(preset.get_data()),
            static_cast<std::uint32_t>(preset.get_data_size())};
}

// What one plug-in instance is doing, as the component said.
struct instance_activity {
    GUID identifier{};
    bool has_key = false;
    std::uint32_t key = 0;
    std::string product_name;
    std::string module_path;
    std::string call;  // empty when no call into the plug-in is running
    std::uint32_t call_ms = 0;
    std::uint64_t non_finite_samples = 0;
    std::uint64_t late_blocks = 0;
    std::uint32_t delay_frames = 0;  // the delay it reports, while it processes
    std::uint32_t restarts = 0;      // times its process of its own stopped and was started again
};

// How a plug-in runs on a stream with "Match plug-in channels to the stream" on.
struct plugin_fit {
    std::uint32_t inputs = 0;     // each instance's ports
    std::uint32_t outputs = 0;
    std::uint32_t instances = 1;  // one per channel for a mono plug-in
    bool keeps_layout = false;    // the stream comes back in its own layout
};

class text_receiver final : public vst_script_text {
public:
    void VST_SCRIPTING_CALL set(const char* utf8, std::uint32_t length) noexcept override {
        text.assign(utf8 ? utf8 : "", utf8 ? length : 0);
    }
    std::string text;
};

inline std::string received_text(const char* utf8) { return utf8 ? utf8 : ""; }

inline listed_plugin listed_of(const vst_script_entry& e) {
    return {received_text(e.product_name), received_text(e.vendor_name), received_text(e.channel_summary),
            received_text(e.module_path), e.identifier, (e.flags & vst_script_entry_has_editor) != 0,
            (e.flags & vst_script_entry_own_process_chosen) != 0,
            (e.flags & vst_script_entry_other_architecture) != 0, (e.flags & vst_script_entry_own_process) != 0,
            (e.flags & vst_script_entry_moved_after_crash) != 0};
}

class entry_receiver final : public vst_script_entry_sink {
public:
    void VST_SCRIPTING_CALL on_entry(std::uint32_t position, const vst_script_entry& e) noexcept override {
        positions.push_back(position);
        entries.push_back(listed_of(e));
    }
    std::vector<listed_plugin> entries;
    std::vector<std::uint32_t> positions;
};

class plugin_receiver final : public vst_script_plugin_sink {
public:
    void VST_SCRIPTING_CALL on_plugin(const char* product_name, std::uint32_t parameter_count) noexcept override {
        report.product_name = text(product_name);
        report.parameter_count = parameter_count;
    }
    void VST_SCRIPTING_CALL on_parameter(const vst_script_parameter& p) noexcept override {
        report.parameters.push_back({p.index, p.value, text(p.name), text(p.display), text(p.label)});
    }
    void VST_SCRIPTING_CALL on_preset(const vst_script_preset& p) noexcept override {
        report.preset = dsp_preset_impl(p.owner, p.data ? std::vector<unsigned char>(p.data, p.data + p.size)
                                                        : std::vector<unsigned char>());
    }
    preset_report report;

private:
    static std::string text(const char* utf8) { return utf8 ? utf8 : ""; }
};

class activity_receiver final : public vst_script_activity_sink {
public:
    void VST_SCRIPTING_CALL on_instance(const vst_script_activity& a) noexcept override {
        instances.push_back({a.identifier, a.has_key != 0, a.key, text(a.product_name), text(a.module_path),
                             text(a.call), a.call_ms, a.non_finite_samples, a.late_blocks, a.delay_frames,
                             a.restarts});
    }
    std::vector<instance_activity> instances;

private:
    static std::string text(const char* utf8) { return utf8 ? utf8 : ""; }
};

// One file of a scanned folder, as the component described it.
struct scanned_file {
    std::string path;
    std::string shown_path;
    std::string detail;
    listed_plugin plugin;
    std::uint32_t kind = 0;  // vst_script_scan_kind
    std::uint32_t flags = 0;
    std::uint32_t machine = 0;
    std::uint32_t first = 0xFFFFFFFF;
};

struct scan_report {
    std::vector<scanned_file> files;
    std::vector<std::string> notes;
    vst_script_scan_progress last{};  // the progress at the end
};

class scan_receiver final : public vst_script_scan_sink {
public:
    // `progress` hears each progress report; answering false cancels.
    explicit scan_receiver(std::function<bool(const vst_script_scan_progress&)> progress)
        : progress_(std::move(progress)) {}
    std::uint32_t VST_SCRIPTING_CALL on_progress(const vst_script_scan_progress& p) noexcept override {
        report.last = p;
        report.last.loading = nullptr;  // valid only during the call
        try {
            return progress_ && !progress_(p) ? 1u : 0u;
        } catch (...) {
            return 0;
        }
    }
    void VST_SCRIPTING_CALL on_file(std::uint32_t, const vst_script_scan_file& f) noexcept override {
        report.files.push_back({received_text(f.path), received_text(f.shown_path), received_text(f.detail),
                                listed_of(f.plugin), f.kind, f.flags, f.machine, f.first});
    }
    void VST_SCRIPTING_CALL on_note(const char* text) noexcept override { report.notes.push_back(received_text(text)); }
    scan_report report;

private:
    std::function<bool(const vst_script_scan_progress&)> progress_;
};

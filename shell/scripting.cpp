// The component's scripting interface. Its operations do their work in
// component terms (scripted_list, scripted_preset); this file is the
// boundary: records in and out, and every failure turned into a status and
// a text, since nothing may be thrown across.
#include <cstdio>
#include <string>
#include <vector>

#include "../Helpers/utf.h"
#include "../host/vst_scripting.h"
#include "../prefs/advanced_settings.h"
#include "../prefs/process_choice.h"
#include "../vst/plugin_memory.h"
#include "../vst/audio_mode.h"
#include "../vst/isolation.h"
#include "../vst/pe_machine.h"
#include "../vst/plugin_activity.h"
#include "../vst/scripted_preset.h"
#include "factory_list.h"
#include "script_error.h"
#include "scripted_list.h"
#include "scripted_stream_fit.h"
#include "scripted_scan.h"

namespace {

void hand_text(vst_script_text& out, const std::string& text) noexcept {
    out.set(text.data(), static_cast<std::uint32_t>(text.size()));
}

template <class Work>
vst_script_status answer(vst_script_text& error, Work&& work) noexcept {
    try {
        work();
        return vst_script_ok;
    } catch (const script_error& e) {
        hand_text(error, e.what());
        return e.status();
    } catch (const std::exception& e) {
        hand_text(error, e.what());
    } catch (...) {
        hand_text(error, "an unexpected failure inside the component");
    }
    return vst_script_internal_error;
}

void require(const void* argument, const char* what) {
    if (!argument) throw script_error(vst_script_bad_argument, std::string("no ") + what + " was given");
}

// Where the plug-in runs from its next load.
std::uint32_t process_flags(const entry& e) {
    std::uint32_t flags = 0;
    if (own_process_choice().own_process(e.identifier)) flags |= vst_script_entry_own_process_chosen;
    if (own_process_choice().moved_after_crash(e.identifier)) flags |= vst_script_entry_moved_after_crash;
    if (foreign_machine(e) != k_machine_unknown) flags |= vst_script_entry_other_architecture;
    if (flags || every_plugin_in_own_process_setting().get_state()) flags |= vst_script_entry_own_process;
    return flags;
}

void hand_entry(vst_script_entry_sink& sink, std::size_t position, const entry& e) {
    const std::uint32_t flags = (e.has_editor ? vst_script_entry_has_editor : 0u) | process_flags(e);
    const vst_script_entry record{e.product_name.c_str(),    e.vendor_name.c_str(),
                                  e.channel_summary.c_str(), e.module_path.c_str(),
                                  e.identifier,              flags};
    sink.on_entry(static_cast<std::uint32_t>(position), record);
}

void hand_entries(vst_script_entry_sink& sink, const entry_list& list) {
    for (std::size_t i = 0; i < list.size(); ++i) hand_entry(sink, i, *list[i]);
}

dsp_preset_impl preset_of(const vst_script_preset& p) {
    if (!p.data && p.size != 0)
        throw script_error(vst_script_bad_argument,
                           "a preset of " + std::to_string(p.size) + " bytes came without its bytes");
    return dsp_preset_impl(p.owner, std::vector<unsigned char>(p.data, p.data + p.size));
}

std::string subject_of(const char* subject) { return subject ? subject : "the preset"; }

void hand_plugin(vst_script_plugin_sink& out, const scripted_preset& plugin) {
    out.on_plugin(plugin.product_name().c_str(), static_cast<std::uint32_t>(plugin.parameter_count()));
}

void hand_parameter(vst_script_plugin_sink& out, scripted_preset& plugin, std::int32_t index) {
    const scripted_preset::parameter p = plugin.describe(index);
    out.on_parameter({static_cast<std::uint32_t>(index), p.value, p.name.c_str(), p.display.c_str(), p.label.c_str()});
}

void hand_preset(vst_script_plugin_sink& out, const dsp_preset_impl& preset) {
    out.on_preset({preset.get_owner(), preset.bytes().data(), static_cast<std::uint32_t>(preset.bytes().size())});
}

vst_script_scan_progress progress_record(const scan_progress& p) {
    return {static_cast<std::uint32_t>(p.now), static_cast<std::uint32_t>(p.found), static_cast<std::uint32_t>(p.done),
            static_cast<std::uint32_t>(p.remembered), p.loading.empty() ? "" : p.loading.front().c_str()};
}

std::uint32_t scan_file_flags(const scan_file_result& r) {
    std::uint32_t flags = r.remembered ? vst_script_scan_file_remembered : 0u;
    if (r.added == scan_file_result::adding::added) flags |= vst_script_scan_file_added;
    if (r.added == scan_file_result::adding::list_full) flags |= vst_script_scan_file_list_full;
    return flags;
}

void hand_scan(vst_script_scan_sink& out, const folder_scan& scan) {
    const std::vector<scan_file_result>& results = scan.results();
    for (std::size_t i = 0; i < results.size(); ++i) {
        const scan_file_result& r = results[i];
        const entry& e = r.plugin;
        const bool described = r.kind == scan_kind::effect || r.kind == scan_kind::already_listed ||
                               r.kind == scan_kind::duplicate;
        const std::uint32_t entry_flags =
            described ? (e.has_editor ? vst_script_entry_has_editor : 0u) | process_flags(e) : 0u;
        const std::string path = wide_to_utf8(r.file.path);
        vst_script_scan_file f{path.c_str(),
                               r.shown.c_str(),
                               r.detail.c_str(),
                               {e.product_name.c_str(), e.vendor_name.c_str(), e.channel_summary.c_str(),
                                e.module_path.c_str(), e.identifier, entry_flags},
                               static_cast<std::uint32_t>(r.kind),
                               scan_file_flags(r),
                               r.machine,
                               r.first == k_no_file ? 0xFFFFFFFFu : static_cast<std::uint32_t>(r.first)};
        out.on_file(static_cast<std::uint32_t>(i), f);
    }
    for (const std::string& note : scan.notes()) out.on_note(note.c_str());
}

class vst_scripting_impl : public vst_scripting {
public:
    bool query(service_base*& out, const GUID& guid) override {
        return answer_query<vst_scripting_impl, vst_scripting>(this, out, guid);
    }

    std::uint32_t VST_SCRIPTING_CALL version() noexcept override { return k_vst_scripting_version; }

    vst_script_status VST_SCRIPTING_CALL list(vst_script_entry_sink& entries,
                                              vst_script_text& error) noexcept override {
        return answer(error, [&] { hand_entries(entries, scripted_list()); });
    }

    vst_script_status VST_SCRIPTING_CALL add(const char* module_path, vst_script_add_flags flags,
                                             vst_script_entry_sink& added, vst_script_text& error) noexcept override {
        return answer(error, [&] {
            require(module_path, "plug-in DLL");
            if (flags & ~vst_script_add_own_process) {
                char text[48];
                std::snprintf(text, sizeof text, "unknown add flags 0x%08X",
                              static_cast<unsigned>(flags & ~vst_script_add_own_process));
                throw script_error(vst_script_bad_argument, text);
            }
            const entry_list written = scripted_add(module_path, (flags & vst_script_add_own_process) != 0);
            hand_entry(added, written.size() - 1, *written.back());
        });
    }

    vst_script_status VST_SCRIPTING_CALL remove(std::uint32_t position, const GUID& identifier,
                                                vst_script_entry_sink& removed,
                                                vst_script_text& error) noexcept override {
        return answer(error, [&] { hand_entry(removed, position, *scripted_remove(position, identifier)); });
    }

    vst_script_status VST_SCRIPTING_CALL import_legacy(vst_script_entry_sink& imported, std::uint32_t& replaced,
                                                       vst_script_text& source,
                                                       vst_script_text& error) noexcept override {
        return answer(error, [&] {
            std::size_t before = 0;
            const entry_list written = scripted_import_legacy(before);
            replaced = static_cast<std::uint32_t>(before);
            hand_text(source, legacy_list_source());
            hand_entries(imported, written);
        });
    }

    vst_script_status VST_SCRIPTING_CALL get_parameters(const vst_script_preset& preset, const char* subject,
                                                        vst_script_plugin_sink& out,
                                                        vst_script_text& error) noexcept override {
        return answer(error, [&] {
            scripted_preset plugin(preset_of(preset), subject_of(subject));
            hand_plugin(out, plugin);
            for (std::int32_t i = 0, n = plugin.parameter_count(); i < n; ++i) hand_parameter(out, plugin, i);
        });
    }

    vst_script_status VST_SCRIPTING_CALL set_parameter(const vst_script_preset& preset, const char* subject,
                                                       std::uint32_t index, float value, vst_script_plugin_sink& out,
                                                       vst_script_text& error) noexcept override {
        return answer(error, [&] {
            scripted_preset plugin(preset_of(preset), subject_of(subject));
            plugin.set_parameter(index, value);
            const dsp_preset_impl captured = plugin.capture();
            hand_plugin(out, plugin);
            hand_parameter(out, plugin, static_cast<std::int32_t>(index));
            hand_preset(out, captured);
        });
    }

    vst_script_status VST_SCRIPTING_CALL load_program(const vst_script_preset& preset, const char* subject,
                                                      const char* path, vst_script_plugin_sink& out,
                                                      vst_script_text& error) noexcept override {
        return answer(error, [&] {
            require(path, "program file");
            scripted_preset plugin(preset_of(preset), subject_of(subject));
            plugin.load_program(path);
            const dsp_preset_impl captured = plugin.capture();
            hand_plugin(out, plugin);
            hand_preset(out, captured);
        });
    }

    vst_script_status VST_SCRIPTING_CALL activity(vst_script_activity_sink& out,
                                                  vst_script_text& error) noexcept override {
        return answer(error, [&] {
            for_each_activity([&](const plugin_activity& a) {
                out.on_instance({a.identifier, a.non_finite_samples, a.keyed ? 1u : 0u, a.key, a.call_ms,
                                 a.product_name.c_str(), a.module_path.c_str(), a.call ? a.call : "", a.late_blocks,
                                 a.delay_frames, a.restarts});
            });
        });
    }

    vst_script_status VST_SCRIPTING_CALL set_own_process(std::uint32_t position, const GUID& identifier,
                                                         std::uint32_t own, vst_script_entry_sink& changed,
                                                         vst_script_text& error) noexcept override {
        return answer(error, [&] {
            if (own > 1)
                throw script_error(vst_script_bad_argument,
                                   "own takes 1 (its own process) or 0 (the player's), not " + std::to_string(own));
            hand_entry(changed, position, *scripted_set_own_process(position, identifier, own == 1));
        });
    }

    vst_script_status VST_SCRIPTING_CALL set_offline(std::uint32_t offline, vst_script_text& error) noexcept override {
        return answer(error, [&] {
            if (offline > 1)
                throw script_error(vst_script_bad_argument, "offline takes 1 or 0, not " + std::to_string(offline));
            set_audio_offline(offline == 1);
        });
    }

    vst_script_status VST_SCRIPTING_CALL stream_fit(std::uint32_t position, const GUID& identifier,
                                                    std::uint32_t channels, std::uint32_t mask,
                                                    vst_script_stream_fit& fit,
                                                    vst_script_text& error) noexcept override {
        return answer(error, [&] { fit = scripted_stream_fit(position, identifier, channels, mask); });
    }

    vst_script_status VST_SCRIPTING_CALL scan(const char* folder, vst_script_scan_flags flags, std::uint32_t jobs,
                                              vst_script_scan_sink& out, vst_script_text& error) noexcept override {
        return answer(error, [&] {
            require(folder, "folder");
            constexpr vst_script_scan_flags known =
                vst_script_scan_recursive | vst_script_scan_add | vst_script_scan_rescan;
            if (flags & ~known) {
                char text[48];
                std::snprintf(text, sizeof text, "unknown scan flags 0x%08X", static_cast<unsigned>(flags & ~known));
                throw script_error(vst_script_bad_argument, text);
            }
            scripted_scan_request request;
            request.folder = folder;
            request.recursive = (flags & vst_script_scan_recursive) != 0;
            request.add = (flags & vst_script_scan_add) != 0;
            request.rescan = (flags & vst_script_scan_rescan) != 0;
            request.jobs = jobs;
            std::string list_error;
            const auto scan = scripted_scan(request, [&](const scan_progress& p) {
                return out.on_progress(progress_record(p)) == 0;
            }, list_error);
            hand_scan(out, *scan);
            if (!list_error.empty()) throw script_error(vst_script_io_error, list_error);
        });
    }
};

static_assert(k_vst_script_max_chunk_bytes == k_max_plugin_chunk, "one limit on a plug-in's state everywhere");

registered_service<vst_scripting_impl> g_scripting;

}  // namespace

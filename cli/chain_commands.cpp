// The playback DSP chain: its positions, and the plug-in state inside each
// position's preset, changed through the component's own code.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "../Helpers/utf.h"
#include "../host/dsp.h"
#include "../shell/identifier_text.h"
#include "../shell/list_file.h"
#include "../vst/preset_state.h"
#include "../vst/program_file.h"
#include "../vst/vst.h"
#include "../vst/vst_ref.h"
#include "cli_error.h"
#include "commands.h"

namespace {

std::string dsp_name(component_host& host, const GUID& owner) {
    for (auto& e : host.services<dsp_entry>())
        if (e->get_guid() == owner) {
            string8 n;
            e->get_name(n);
            return n.str();
        }
    return "(unknown DSP " + format_identifier(owner) + ")";
}

// The component's effects in plug-in list order (the host keeps them newest first).
std::vector<service_ptr_t<dsp_entry>> effects(component_host& host) {
    auto list = host.services<dsp_entry>();
    return std::vector<service_ptr_t<dsp_entry>>(list.rbegin(), list.rend());
}

void show_chain(session& s) {
    const dsp_chain_config& chain = s.prof().state.chain;
    if (chain.get_count() == 0) {
        std::printf("The chain is empty. Add an effect with: orvane chain add NAME\n");
        return;
    }
    component_host& host = s.player();
    for (std::size_t i = 0; i < chain.get_count(); ++i)
        std::printf("%3zu  %s\n", i + 1, dsp_name(host, chain.get_item(i).get_owner()).c_str());
}

// A chain position's plug-in, acquired through the component with that
// position's preset applied. Released when the object goes.
class position_plugin {
public:
    position_plugin(session& s, unsigned position) : s_(s), position_(position) {
        s.linked();
        const dsp_preset& preset = s.prof().state.chain.get_item(position - 1);
        owner_ = preset.get_owner();
        // The list as the file holds it now: this run may have changed it.
        load_list_file(s.prof().list_file(), list_);
        const entry* e = nullptr;
        for (const auto& candidate : list_)
            if (!e && is_plugin_identifier(owner_) && candidate->identifier == owner_) e = candidate.get();
        if (!e) throw cli_error("chain position " + std::to_string(position) + " is not one of the VST effects");
        plugin_ = vst_ref(*e, preset);
        if (!plugin_->loaded) throw cli_error(one_line(plugin_->diagnosis));
    }
    position_plugin(const position_plugin&) = delete;
    position_plugin& operator=(const position_plugin&) = delete;

    vst& plugin() { return *plugin_; }

    std::string param_text(std::int32_t opcode, std::int32_t index) { return plugin_->ask_text(opcode, index, 63); }
    // The parameters we show: a record that claims millions is cut short.
    std::int32_t parameter_count() const { return plugin_->parameter_count(); }
    // Stores the plug-in's current state as the position's preset.
    void store() {
        dsp_preset_impl captured;
        // A plug-in that crashed has no state to give; the stored one stays.
        if (!capture_preset(*plugin_, owner_, captured))
            throw cli_error(plugin_->product_name + " crashed and was switched off; chain position " +
                            std::to_string(position_) + " keeps its settings");
        s_.prof().state.chain.replace_item(captured, position_ - 1);
        s_.commit_state();
    }

private:
    session& s_;
    unsigned position_;
    GUID owner_{};
    entry_list list_;
    vst_ref plugin_;
};

std::string full_path(const std::string& path) {
    wchar_t full[MAX_PATH] = {};
    DWORD n = GetFullPathNameW(utf8_to_wide(path).c_str(), MAX_PATH, full, nullptr);
    return n > 0 && n < MAX_PATH ? wide_to_utf8(full) : path;
}

std::int32_t find_parameter(position_plugin& p, const std::string& wanted) {
    const std::int32_t count = p.parameter_count();
    for (std::int32_t i = 0; i < count; ++i)
        if (lower(p.param_text(effGetParamName, i)) == lower(wanted)) return i;
    return static_cast<std::int32_t>(parse_position(wanted, static_cast<std::size_t>(count), "parameter")) - 1;
}

}  // namespace

void cmd_chain(session& s, const args& a) {
    dsp_chain_config& chain = s.prof().state.chain;
    if (a.empty() || a[0] == "show") {
        show_chain(s);
        return;
    }
    const std::string& verb = a[0];
    if (verb == "add" && a.size() >= 2) {
        std::string wanted = a[1];
        for (std::size_t i = 2; i < a.size(); ++i) wanted += " " + a[i];
        auto list = effects(s.player());
        service_ptr_t<dsp_entry> chosen;
        for (auto& e : list) {
            string8 n;
            e->get_name(n);
            if (lower(n.str()) == lower(wanted)) chosen = e;
        }
        if (!chosen) {
            if (list.empty()) throw cli_error("no DSP named \"" + wanted + "\": the plug-in list is empty");
            if (wanted.find_first_not_of("0123456789") != std::string::npos)
                throw cli_error("no DSP named \"" + wanted + "\" (see orvane info)");
            chosen = list[parse_position(wanted, list.size(), "DSP") - 1];
        }
        dsp_preset_impl preset;
        if (!chosen->get_default_preset(preset)) throw cli_error("the DSP gave no default preset");
        chain.add_item(preset);
        s.commit_state();
        string8 n;
        chosen->get_name(n);
        std::printf("Chain position %zu: %s\n", chain.get_count(), n.get_ptr());
    } else if (verb == "remove" && a.size() == 2) {
        unsigned pos = parse_position(a[1], chain.get_count(), "chain position");
        chain.remove_item(pos - 1);
        s.commit_state();
        std::printf("Removed chain position %u\n", pos);
    } else if (verb == "move" && a.size() == 3) {
        unsigned from = parse_position(a[1], chain.get_count(), "chain position");
        unsigned to = parse_position(a[2], chain.get_count(), "chain position");
        dsp_preset_impl moving(chain.get_item(from - 1));
        chain.remove_item(from - 1);
        chain.insert_item(moving, to - 1);
        s.commit_state();
        show_chain(s);
    } else if (verb == "clear" && a.size() == 1) {
        chain.remove_all();
        s.commit_state();
        std::printf("The chain is empty.\n");
    } else {
        throw cli_error("usage: orvane chain [show | add NAME|NUMBER | remove POS | move FROM TO | clear]", 2);
    }
}

void cmd_params(session& s, const args& a) {
    if (a.size() != 1) throw cli_error("usage: orvane params POSITION", 2);
    unsigned pos = parse_position(a[0], s.prof().state.chain.get_count(), "chain position");
    position_plugin p(s, pos);
    const std::int32_t count = p.parameter_count();
    if (count == 0) std::printf("%s has no parameters\n", p.plugin().product_name.c_str());
    for (std::int32_t i = 0; i < count; ++i)
        std::printf("%3d  %-20s %8.4f   %s %s\n", i + 1, p.param_text(effGetParamName, i).c_str(),
                    static_cast<double>(p.plugin().get_parameter(i)), p.param_text(effGetParamDisplay, i).c_str(),
                    p.param_text(effGetParamLabel, i).c_str());
}

void cmd_param(session& s, const args& a) {
    if (a.size() != 3) throw cli_error("usage: orvane param POSITION NAME|NUMBER VALUE (0 to 1)", 2);
    unsigned pos = parse_position(a[0], s.prof().state.chain.get_count(), "chain position");
    char* end = nullptr;
    double value = std::strtod(a[2].c_str(), &end);
    if (a[2].empty() || *end != '\0' || !(value >= 0.0 && value <= 1.0))
        throw cli_error("a parameter value runs from 0 to 1, not \"" + a[2] + "\"");
    position_plugin p(s, pos);
    std::int32_t index = find_parameter(p, a[1]);
    p.plugin().set_parameter(index, static_cast<float>(value));
    p.store();
    std::printf("%s: %s = %s %s\n", p.plugin().product_name.c_str(), p.param_text(effGetParamName, index).c_str(),
                p.param_text(effGetParamDisplay, index).c_str(), p.param_text(effGetParamLabel, index).c_str());
}

void cmd_fxp(session& s, const args& a) {
    if (a.size() != 2) throw cli_error("usage: orvane fxp POSITION FILE.fxp", 2);
    unsigned pos = parse_position(a[0], s.prof().state.chain.get_count(), "chain position");
    const std::wstring file = utf8_to_wide(a[1]);
    const DWORD attr = GetFileAttributesW(file.c_str());
    if (attr == INVALID_FILE_ATTRIBUTES) throw cli_error("the program file " + full_path(a[1]) + " does not exist");
    if (attr & FILE_ATTRIBUTE_DIRECTORY) throw cli_error(full_path(a[1]) + " is a folder, not a program file");
    position_plugin p(s, pos);
    s.linked().popups().clear();
    try {
        load_fxp(p.plugin(), a[1]);
    } catch (const std::exception& e) {
        throw cli_error("cannot read " + a[1] + ": " + e.what());
    }
    std::string refused = s.last_error_popup(s.linked());
    if (!refused.empty()) throw cli_error(a[1] + ": " + refused);
    p.store();
    std::printf("Loaded %s into chain position %u (%s)\n", a[1].c_str(), pos, p.plugin().product_name.c_str());
}

// The playback DSP chain: its positions, and the plug-in state inside each
// position's preset, changed through the component's scripting interface.
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "../Helpers/utf.h"
#include "../host/dsp.h"
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
    return "(unknown DSP " + guid_text(owner) + ")";
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

// A chain position's preset as the scripting interface takes it, and how
// the component's error texts name it.
struct position_preset {
    position_preset(session& s, unsigned position)
        : preset(s.prof().state.chain.get_item(position - 1)), subject("chain position " + std::to_string(position)) {}
    const dsp_preset& preset;
    std::string subject;
};

// The plug-in's new state becomes the position's preset.
void keep_preset(session& s, unsigned position, const preset_report& changed) {
    s.prof().state.chain.replace_item(changed.preset, position - 1);
    s.commit_state();
}

std::uint32_t find_parameter(const preset_report& listed, const std::string& wanted) {
    for (const plugin_parameter& p : listed.parameters)
        if (lower(p.name) == lower(wanted)) return p.index;
    return parse_position(wanted, listed.parameters.size(), "parameter") - 1;
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
    const position_preset at(s, pos);
    const preset_report r = s.scripting().parameters(at.preset, at.subject);
    if (r.parameters.empty()) std::printf("%s has no parameters\n", r.product_name.c_str());
    for (const plugin_parameter& p : r.parameters)
        std::printf("%3u  %-20s %8.4f   %s %s\n", p.index + 1, p.name.c_str(), static_cast<double>(p.value),
                    p.display.c_str(), p.label.c_str());
}

void cmd_param(session& s, const args& a) {
    if (a.size() != 3) throw cli_error("usage: orvane param POSITION NAME|NUMBER VALUE (0 to 1)", 2);
    unsigned pos = parse_position(a[0], s.prof().state.chain.get_count(), "chain position");
    char* end = nullptr;
    double value = std::strtod(a[2].c_str(), &end);
    if (a[2].empty() || *end != '\0' || !(value >= 0.0 && value <= 1.0))
        throw cli_error("a parameter value runs from 0 to 1, not \"" + a[2] + "\"");
    const position_preset at(s, pos);
    const std::uint32_t index = find_parameter(s.scripting().parameters(at.preset, at.subject), a[1]);
    const preset_report r = s.scripting().set_parameter(at.preset, at.subject, index, static_cast<float>(value));
    keep_preset(s, pos, r);
    const plugin_parameter& p = r.parameters.at(0);
    std::printf("%s: %s = %s %s\n", r.product_name.c_str(), p.name.c_str(), p.display.c_str(), p.label.c_str());
}

void cmd_fxp(session& s, const args& a) {
    if (a.size() != 2) throw cli_error("usage: orvane fxp POSITION FILE.fxp", 2);
    unsigned pos = parse_position(a[0], s.prof().state.chain.get_count(), "chain position");
    const std::wstring file = utf8_to_wide(a[1]);
    const DWORD attr = GetFileAttributesW(file.c_str());
    if (attr == INVALID_FILE_ATTRIBUTES) throw cli_error("the program file " + full_path(a[1]) + " does not exist");
    if (attr & FILE_ATTRIBUTE_DIRECTORY) throw cli_error(full_path(a[1]) + " is a folder, not a program file");
    const position_preset at(s, pos);
    const preset_report r = s.scripting().load_program(at.preset, at.subject, a[1]);
    keep_preset(s, pos, r);
    std::printf("Loaded %s into chain position %u (%s)\n", a[1].c_str(), pos, r.product_name.c_str());
}

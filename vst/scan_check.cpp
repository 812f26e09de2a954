#include "scan_check.h"

#include <windows.h>

#include <cstring>

#include "../Helpers/utf.h"
#include "bridge_faults.h"
#include "hang_limits.h"
#include "isolation.h"
#include "pe_machine.h"
#include "vst.h"

namespace {

// The diagnosis without its path: the part a list of many files shows.
std::string first_line(const std::string& diagnosis) {
    const std::size_t cut = diagnosis.find("\r\n");
    return cut == std::string::npos ? diagnosis : diagnosis.substr(0, cut);
}

// At most `limit` bytes, without splitting a character.
std::string cut_text(const std::string& text, std::size_t limit) {
    if (text.size() <= limit) return text;
    std::size_t n = limit;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    return text.substr(0, n);
}

bool is_instrument(const vst& checked) {
    if (checked.category == kPlugCategSynth) return true;
    // A record that failed earlier (an instrument has no inputs) still says
    // what it is in its flags.
    return checked.effect && (checked.effect->flags & effFlagsIsSynth) != 0;
}

// A DLL whose loader never returned is refused by its bridge once its open
// deadline (given twice: the bridge tries a fresh process) has passed; a
// DLL that truly refuses to load does so at once.
bool load_ran_out_of_time(const vst& checked, std::uint64_t elapsed_ms) {
    return checked.diagnosis.rfind("The VST DLL refused loading.", 0) == 0 &&
           elapsed_ms >= current_bridge_deadlines().open_ms;
}

void check_loadable(scan_file_result& r) {
    const std::uint64_t started = GetTickCount64();
    vst checked(entry(wide_to_utf8(r.file.path)), true, plugin_place::own_process_unattended);
    const std::uint64_t elapsed = GetTickCount64() - started;
    if (checked.loaded) {
        r.kind = scan_kind::effect;
        r.plugin = static_cast<const entry&>(checked);
        return;
    }
    r.detail = first_line(checked.diagnosis);
    if (checked.faulted) {
        r.kind = checked.fault().code == k_fault_process_hung ? scan_kind::hung : scan_kind::crashed;
    } else if (is_instrument(checked)) {
        r.kind = scan_kind::instrument;
    } else if (load_ran_out_of_time(checked, elapsed)) {
        r.kind = scan_kind::hung;
        r.detail = "The VST DLL did not finish loading in " + std::to_string(current_bridge_deadlines().open_ms / 1000) +
                   " s (its process was ended).";
    } else {
        r.kind = scan_kind::not_plugin;
    }
}

}  // namespace

void check_scan_file(scan_file_result& r) {
    const pe_image_info image = pe_image(r.file.path);
    r.machine = image.machine;
    switch (image.what) {
        case pe_image_info::kind::unreadable:
            r.kind = scan_kind::unreadable;
            r.detail = "The file could not be read: " + system_error_text(image.error);
            return;
        case pe_image_info::kind::empty:
            r.kind = scan_kind::not_dll;
            r.detail = "An empty file.";
            return;
        case pe_image_info::kind::not_image:
            r.kind = scan_kind::not_dll;
            r.detail = "No Windows DLL: the file has no PE header.";
            return;
        case pe_image_info::kind::program:
            r.kind = scan_kind::not_dll;
            r.detail = "A Windows program for " + machine_name(image.machine) + ", not a DLL.";
            return;
        case pe_image_info::kind::dll: break;
    }
    if (image.machine != k_machine_x86 && image.machine != k_machine_x64) {
        r.kind = scan_kind::not_plugin;
        r.detail = "A DLL for " + machine_name(image.machine) + ": only x86 and x64 plug-ins can be used.";
        return;
    }
    check_loadable(r);
}

void recall_scan_file(scan_file_result& r, const stored_scan_file& stored) {
    r.remembered = true;
    r.kind = static_cast<scan_kind>(stored.kind);
    r.machine = stored.machine;
    r.detail = stored.detail;
    if (r.kind != scan_kind::effect) return;
    r.plugin = entry(wide_to_utf8(r.file.path));
    r.plugin.product_name = stored.product_name;
    r.plugin.spare_text = "n/a";
    r.plugin.vendor_name = stored.vendor_name;
    r.plugin.channel_summary = stored.channel_summary;
    std::memcpy(&r.plugin.identifier, stored.identifier.data(), sizeof r.plugin.identifier);
    r.plugin.has_editor = stored.has_editor != 0;
}

bool store_scan_file(const scan_file_result& r, stored_scan_file& out) {
    // Listed ones and duplicates are effects: what they are alike to is a
    // question of each scan.
    scan_kind kind = r.kind;
    if (kind == scan_kind::already_listed || kind == scan_kind::duplicate) kind = scan_kind::effect;
    if (!remembered_kind(static_cast<std::uint8_t>(kind))) return false;
    stored_scan_file s;
    s.path = wide_to_utf8(r.file.path);
    s.size = r.file.size;
    s.last_write = r.file.last_write;
    s.kind = static_cast<std::uint8_t>(kind);
    s.machine = r.machine;
    if (kind == scan_kind::effect) {
        s.product_name = r.plugin.product_name;
        s.vendor_name = r.plugin.vendor_name;
        s.channel_summary = r.plugin.channel_summary;
        std::memcpy(s.identifier.data(), &r.plugin.identifier, s.identifier.size());
        s.has_editor = r.plugin.has_editor ? 1 : 0;
    } else {
        s.detail = cut_text(r.detail, k_max_stored_scan_text);
    }
    if (s.path.size() > k_max_stored_scan_path) return false;
    out = std::move(s);
    return true;
}

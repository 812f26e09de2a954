// orvane scan: every DLL of a folder checked in a process of its own, the
// results as a table, and the effects found added on request, all through
// the component's scripting interface. Ctrl+C during the scan stops it: the
// DLLs being checked finish, what was found is reported (and added, with
// --add), and the run ends with the interrupt's exit code.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>

#include "cli_error.h"
#include "commands.h"
#include "exit_cleanup.h"

namespace {

std::atomic<bool> g_stop_asked{false};

// The first Ctrl+C (or Break) stops the scan; a second one ends the run the
// usual way.
BOOL WINAPI on_console_break(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    return g_stop_asked.exchange(true) ? FALSE : TRUE;
}

class break_stops_scan {
public:
    break_stops_scan() { SetConsoleCtrlHandler(on_console_break, TRUE); }
    ~break_stops_scan() { SetConsoleCtrlHandler(on_console_break, FALSE); }
    break_stops_scan(const break_stops_scan&) = delete;
    break_stops_scan& operator=(const break_stops_scan&) = delete;
};

bool stderr_is_console() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

// A line on the terminal that each report rewrites.
class progress_bar {
public:
    explicit progress_bar(bool shown) : shown_(shown) {}
    ~progress_bar() { clear(); }
    progress_bar(const progress_bar&) = delete;
    progress_bar& operator=(const progress_bar&) = delete;

    void show(const vst_script_scan_progress& p) {
        if (!shown_) return;
        std::string line;
        if (p.stage == 0) {
            line = "Looking for DLLs: " + std::to_string(p.found) + " found";
        } else {
            constexpr unsigned width = 30;
            const unsigned filled = p.found ? static_cast<unsigned>(std::uint64_t{p.done} * width / p.found) : width;
            line = "[" + std::string(filled, '#') + std::string(width - filled, '-') + "] " + std::to_string(p.done) +
                   "/" + std::to_string(p.found);
            if (p.loading && *p.loading) line += "  " + std::string(p.loading);
        }
        if (g_stop_asked) line += "  (stopping)";
        if (line.size() > 78) line = line.substr(0, 75) + "...";
        std::fprintf(stderr, "\r%-78s", line.c_str());
        std::fflush(stderr);
        drawn_ = true;
    }
    void clear() {
        if (!drawn_) return;
        std::fprintf(stderr, "\r%78s\r", "");
        std::fflush(stderr);
        drawn_ = false;
    }

private:
    const bool shown_;
    bool drawn_ = false;
};

std::string arch_text(std::uint32_t machine) {
    switch (machine) {
        case 0: return "-";
        case 0x014C: return "x86";
        case 0x8664: return "x64";
        case 0xAA64: return "ARM64";
        default: break;
    }
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(machine));
    return text;
}

// The result column: what the file is, and what became of an effect.
std::string result_text(const scanned_file& f) {
    switch (f.kind) {
        case vst_script_scan_effect:
            if (f.flags & vst_script_scan_file_added) return "added";
            if (f.flags & vst_script_scan_file_list_full) return "not added";
            return "effect";
        case vst_script_scan_instrument: return "instrument";
        case vst_script_scan_not_plugin: return "not VST";
        case vst_script_scan_crashed: return "crashed";
        case vst_script_scan_hung: return "hung";
        case vst_script_scan_not_dll: return "not a DLL";
        case vst_script_scan_listed: return "listed";
        case vst_script_scan_duplicate: return "duplicate";
        case vst_script_scan_unreadable: return "unreadable";
        default: return "not checked";
    }
}

bool described(const scanned_file& f) {
    return f.kind == vst_script_scan_effect || f.kind == vst_script_scan_listed;
}

void print_table(const scan_report& report) {
    std::size_t file_width = 4;
    for (const scanned_file& f : report.files) file_width = std::max(file_width, f.shown_path.size());
    file_width = std::min<std::size_t>(file_width, 40);
    const int w = static_cast<int>(file_width);
    std::printf("  #  %-*s  %-5s  %-11s  %-24s %-18s %-6s %s\n", w, "File", "Arch", "Result", "Product", "Vendor", "I/O",
                "Process");
    for (std::size_t i = 0; i < report.files.size(); ++i) {
        const scanned_file& f = report.files[i];
        const std::string result =
            result_text(f) + ((f.flags & vst_script_scan_file_remembered) ? "*" : "");
        std::printf("%3zu  %-*s  %-5s  %-11s  ", i + 1, w, f.shown_path.c_str(), arch_text(f.machine).c_str(),
                    result.c_str());
        if (described(f))
            std::printf("%-24s %-18s %-6s %s\n", f.plugin.product_name.c_str(), f.plugin.vendor_name.c_str(),
                        f.plugin.channel_summary.c_str(), process_text(f.plugin).c_str());
        else
            std::printf("%s\n", f.detail.c_str());
    }
}

std::string counted(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string summary(const scan_report& report, const std::string& where) {
    std::size_t kinds[32] = {};
    std::size_t added = 0, left_out = 0, remembered = 0;
    for (const scanned_file& f : report.files) {
        if (f.kind < 32) ++kinds[f.kind];
        if (f.flags & vst_script_scan_file_added) ++added;
        if (f.flags & vst_script_scan_file_list_full) ++left_out;
        if (f.flags & vst_script_scan_file_remembered) ++remembered;
    }
    std::string text = counted(report.files.size(), "DLL", "DLLs") + " in " + where + ":";
    std::string parts;
    auto part = [&](std::size_t n, const std::string& words) {
        if (n) parts += (parts.empty() ? " " : ", ") + words;
    };
    std::string effects = counted(kinds[vst_script_scan_effect], "effect", "effects");
    if (added || left_out) {
        effects += " (" + std::to_string(added) + " added";
        if (left_out) effects += ", " + std::to_string(left_out) + " not added: the list is full";
        effects += ")";
    }
    part(kinds[vst_script_scan_effect], effects);
    part(kinds[vst_script_scan_listed], std::to_string(kinds[vst_script_scan_listed]) + " already listed");
    part(kinds[vst_script_scan_duplicate], counted(kinds[vst_script_scan_duplicate], "duplicate", "duplicates"));
    part(kinds[vst_script_scan_instrument], counted(kinds[vst_script_scan_instrument], "instrument", "instruments"));
    part(kinds[vst_script_scan_not_plugin],
         counted(kinds[vst_script_scan_not_plugin], "not a VST plug-in", "not VST plug-ins"));
    part(kinds[vst_script_scan_crashed], std::to_string(kinds[vst_script_scan_crashed]) + " crashed");
    part(kinds[vst_script_scan_hung], std::to_string(kinds[vst_script_scan_hung]) + " hung");
    part(kinds[vst_script_scan_not_dll], counted(kinds[vst_script_scan_not_dll], "not a DLL", "not DLLs"));
    part(kinds[vst_script_scan_unreadable], std::to_string(kinds[vst_script_scan_unreadable]) + " unreadable");
    part(kinds[vst_script_scan_not_checked], std::to_string(kinds[vst_script_scan_not_checked]) + " not checked");
    text += parts.empty() ? " none" : parts;
    if (remembered) text += "; " + std::to_string(remembered) + " remembered from an earlier scan";
    return text + ".";
}

}  // namespace

void cmd_scan(session& s, const args& a) {
    if (a.size() != 1) throw cli_error("usage: orvane scan FOLDER [--recursive] [--jobs N] [--add] [--rescan]", 2);
    const tool_options& o = s.options();
    const std::string folder = full_path(a[0]);
    std::uint32_t flags = 0;
    if (o.recursive) flags |= vst_script_scan_recursive;
    if (o.add) flags |= vst_script_scan_add;
    if (o.rescan) flags |= vst_script_scan_rescan;

    component_scripting& script = s.scripting();
    scan_report report;
    {
        break_stops_scan breaks;
        progress_bar bar(!o.quiet && stderr_is_console());
        report = script.scan(folder, flags, o.jobs, [&](const vst_script_scan_progress& p) {
            bar.show(p);
            return !g_stop_asked;
        });
    }
    // What was found is remembered in the component's configuration, and
    // what was added is in the list.
    s.keep_configuration();
    bool any_added = false;
    for (const scanned_file& f : report.files) any_added = any_added || (f.flags & vst_script_scan_file_added);
    if (any_added) s.list_changed();

    const std::string where = folder + (o.recursive ? " and its subfolders" : "");
    if (!report.files.empty()) print_table(report);
    bool remembered = false;
    for (const scanned_file& f : report.files) remembered = remembered || (f.flags & vst_script_scan_file_remembered);
    if (remembered)
        std::printf("* remembered from an earlier scan: unchanged since, so not loaded again (--rescan loads it)\n");
    for (const std::string& note : report.notes) std::printf("Note: %s\n", note.c_str());
    std::printf("%s\n", summary(report, where).c_str());
    if (any_added) std::printf("The player offers the added plug-ins after its next start.\n");
    if (report.last.stage == 3) {
        std::fflush(stdout);
        throw cli_error("the scan was cancelled: " + std::to_string(report.last.done) + " of " +
                            std::to_string(report.last.found) + " DLLs were checked",
                        interrupted_exit_code(2));
    }
}

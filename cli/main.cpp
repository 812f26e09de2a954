// orvane: the player stand-in on the command line. It keeps a profile
// (plug-in list, playback chain, settings) and runs WAV files through the
// chain with the component loaded exactly as the player loads it.
#include <windows.h>

#include <cstdio>
#include <string>

#include "../Helpers/utf.h"
#include "cli_error.h"
#include "commands.h"
#include "exit_cleanup.h"

namespace {

const char k_usage[] =
    "usage: orvane [--profile DIR] [--format float|16|24|32] [--chunk FRAMES] [--quiet]\n"
    "              [--stall-timeout S] [--load-timeout S] [--no-delay-compensation] [--tail S]\n"
    "              COMMAND ...\n"
    "       (options may also follow the command; -- ends them)\n"
    "       A process run with no chunk for S seconds (default 30), or an add whose plug-in\n"
    "       has not loaded in S seconds (default 30), says where it is stuck and stops (exit 124).\n"
    "\n"
    "  demo [PLUGIN.dll [INPUT.wav]]   try it all in a throwaway profile (the default command)\n"
    "  info                            the component, its DSP effects and its settings\n"
    "  set output-limit|declicker N    change a setting\n"
    "  set isolate-all on|off          run every plug-in in a process of its own, whatever each one's choice\n"
    "  set match-channels on|off       offer plug-ins the stream's layout; run a mono plug-in once per channel\n"
    "  set report-delay on|off         tell the player the delay each plug-in reports\n"
    "  set restart on|off              start a plug-in's own process again when it stops (default on)\n"
    "  set isolate-after-crash on|off  run a plug-in that crashed in the player's process in its own\n"
    "                                  from its next load (default on)\n"
    "  plugins                         the plug-in list, and where each plug-in runs\n"
    "  add [--isolate] PLUGIN.dll      check a plug-in and add it to the list (--isolate: check it in, and\n"
    "                                  run it in, a process of its own)\n"
    "  remove NUMBER|PRODUCT           remove a plug-in from the list\n"
    "  isolate NUMBER|PRODUCT on|off   run a plug-in in a process of its own (on) or the player's (off)\n"
    "  chain [show]                    the playback chain\n"
    "  chain add NAME|NUMBER           append a DSP effect\n"
    "  chain remove POS | move FROM TO | clear\n"
    "  params POS                      the parameters of a chain position's plug-in\n"
    "  param POS NAME|NUMBER VALUE     set a parameter (0 to 1)\n"
    "  fxp POS FILE.fxp                load a program file into a chain position\n"
    "  process [--as-played] INPUT.wav OUTPUT.wav\n"
    "                                  run a file through the chain; the delay its plug-ins report is\n"
    "                                  taken out (--no-delay-compensation keeps it), and --tail S runs\n"
    "                                  S seconds of silence more through it and keeps them (--as-played:\n"
    "                                  as the player plays it, where a plug-in in its own process that\n"
    "                                  is late loses that chunk)\n"
    "  prefs                           manage the plug-in list on the player's preferences page\n"
    "  scan FOLDER [--recursive] [--jobs N] [--add] [--rescan]\n"
    "                                  check every DLL of a folder, each in a process of its own, N at\n"
    "                                  a time (default: as many as there are processors); --add adds the\n"
    "                                  effects found; --rescan loads again what an earlier scan remembers\n"
    "  import-legacy                   replace the plug-in list with the one an older release kept\n"
    "                                  in the registry\n"
    "  edit POS                        open a chain position's plug-in editor; saved when closed\n"
    "  gui                             the player window, with the \"DSP\" menu of the chain\n";

constexpr unsigned k_max_chunk = 1u << 20;
constexpr unsigned k_max_jobs = 64;

unsigned parse_jobs(const std::string& text) {
    const bool digits = !text.empty() && text.size() <= 3 && text.find_first_not_of("0123456789") == std::string::npos;
    const unsigned long n = digits ? std::stoul(text) : 0;
    if (n < 1 || n > k_max_jobs)
        throw cli_error("--jobs takes a number from 1 to " + std::to_string(k_max_jobs) + ", not \"" + text + "\"", 2);
    return static_cast<unsigned>(n);
}

unsigned parse_seconds(const std::string& option, const std::string& text) {
    const bool digits = !text.empty() && text.size() <= 6 && text.find_first_not_of("0123456789") == std::string::npos;
    const unsigned long n = digits ? std::stoul(text) : 0;
    if (n < 1 || n > 86400)
        throw cli_error(option + " takes a number of seconds from 1 to 86400, not \"" + text + "\"", 2);
    return static_cast<unsigned>(n);
}

// Seconds with an optional fraction, 0 to an hour.
double parse_tail(const std::string& text) {
    const std::size_t dot = text.find('.');
    const std::string whole = text.substr(0, dot), fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
    const bool digits = !whole.empty() && whole.size() <= 4 &&
                        whole.find_first_not_of("0123456789") == std::string::npos &&
                        (dot == std::string::npos || (!fraction.empty() && fraction.size() <= 6 &&
                                                      fraction.find_first_not_of("0123456789") == std::string::npos));
    const double seconds = digits ? std::stod(text) : -1.0;
    if (seconds < 0.0 || seconds > 3600.0)
        throw cli_error("--tail takes a number of seconds from 0 to 3600, not \"" + text + "\"", 2);
    return seconds;
}

unsigned parse_chunk_size(const std::string& text) {
    const bool digits = !text.empty() && text.size() <= 9 && text.find_first_not_of("0123456789") == std::string::npos;
    const unsigned long n = digits ? std::stoul(text) : 0;
    if (n < 1 || n > k_max_chunk)
        throw cli_error("--chunk takes a number of frames from 1 to " + std::to_string(k_max_chunk) + ", not \"" +
                            text + "\"",
                        2);
    return static_cast<unsigned>(n);
}

}  // namespace

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string full_path(const std::string& path) {
    wchar_t full[MAX_PATH] = {};
    DWORD n = GetFullPathNameW(utf8_to_wide(path).c_str(), MAX_PATH, full, nullptr);
    return n > 0 && n < MAX_PATH ? wide_to_utf8(full) : path;
}

unsigned parse_position(const std::string& text, std::size_t count, const char* what) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
        throw cli_error(std::string("no ") + what + " \"" + text + "\"");
    unsigned long n = std::stoul(text);
    if (n < 1 || n > count)
        throw cli_error(std::string("no ") + what + " " + text + " (there " + (count == 1 ? "is " : "are ") +
                        std::to_string(count) + ")");
    return static_cast<unsigned>(n);
}

int wmain(int argc, wchar_t** argv) {
    install_exit_cleanup();
    tool_options options;
    options.profile_folder = profile::default_folder();
    std::vector<std::string> words;
    try {
        // Options may stand before or after the command; a word after "--"
        // is never an option.
        bool options_end = false;
        bool scan_options = false;
        for (int i = 1; i < argc; ++i) {
            std::wstring w = argv[i];
            auto value = [&]() -> std::wstring {
                if (i + 1 >= argc) throw cli_error(wide_to_utf8(w) + " needs a value", 2);
                return argv[++i];
            };
            if (options_end || w.size() < 2 || w[0] != L'-' || (w[1] != L'-' && w != L"-h")) {
                words.push_back(wide_to_utf8(w));
            } else if (w == L"--") {
                options_end = true;
            } else if (w == L"--profile") {
                options.profile_folder = value();
            } else if (w == L"--format") {
                options.format = value();
            } else if (w == L"--chunk") {
                options.chunk_frames = parse_chunk_size(wide_to_utf8(value()));
            } else if (w == L"--quiet") {
                options.quiet = true;
            } else if (w == L"--isolate") {
                options.isolate = true;
            } else if (w == L"--as-played") {
                options.as_played = true;
            } else if (w == L"--recursive") {
                options.recursive = true;
                scan_options = true;
            } else if (w == L"--jobs") {
                options.jobs = parse_jobs(wide_to_utf8(value()));
                scan_options = true;
            } else if (w == L"--add") {
                options.add = true;
                scan_options = true;
            } else if (w == L"--rescan") {
                options.rescan = true;
                scan_options = true;
            } else if (w == L"--stall-timeout") {
                options.stall_seconds = parse_seconds("--stall-timeout", wide_to_utf8(value()));
            } else if (w == L"--load-timeout") {
                options.load_seconds = parse_seconds("--load-timeout", wide_to_utf8(value()));
            } else if (w == L"--no-delay-compensation") {
                options.delay_compensation = false;
                options.process_options = true;
            } else if (w == L"--tail") {
                options.tail_seconds = parse_tail(wide_to_utf8(value()));
                options.process_options = true;
            } else if (w == L"--help" || w == L"-h") {
                std::printf("%s", k_usage);
                return 0;
            } else if (w == L"--version") {
                std::printf("orvane, for the Orvane component 0.8.0.1\n");
                return 0;
            } else {
                throw cli_error("unknown option " + wide_to_utf8(w) + " (orvane --help lists them)", 2);
            }
        }
        const std::string command = words.empty() ? "demo" : words[0];
        const args rest = words.empty() ? args{} : args(words.begin() + 1, words.end());
        if (options.isolate && command != "add") throw cli_error("--isolate goes with add only", 2);
        if (options.as_played && command != "process") throw cli_error("--as-played goes with process only", 2);
        if (options.process_options && command != "process")
            throw cli_error("--no-delay-compensation and --tail go with process only", 2);
        if (scan_options && command != "scan")
            throw cli_error("--recursive, --jobs, --add and --rescan go with scan only", 2);
        if (command == "demo") {
            cmd_demo(options, rest);
            return 0;
        }
        struct { const char* name; void (*run)(session&, const args&); } table[] = {
            {"info", cmd_info},     {"set", cmd_set},       {"plugins", cmd_plugins}, {"add", cmd_add},
            {"remove", cmd_remove}, {"isolate", cmd_isolate}, {"chain", cmd_chain},   {"params", cmd_params},
            {"param", cmd_param},
            {"fxp", cmd_fxp},       {"process", cmd_process}, {"scan", cmd_scan},
            {"prefs", cmd_prefs},   {"import-legacy", cmd_import_legacy},
            {"edit", cmd_edit},     {"gui", cmd_gui},
        };
        for (const auto& c : table)
            if (command == c.name) {
                session s(options);
                c.run(s, rest);
                return 0;
            }
        throw cli_error("unknown command \"" + command + "\" (orvane --help lists them)", 2);
    } catch (const cli_error& e) {
        std::fprintf(stderr, "orvane: error: %s\n", e.what());
        return e.exit_code();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "orvane: error: %s\n", e.what());
        return 1;
    }
}

// The demo: a throwaway profile, a plug-in added and chained, a test
// signal made and processed, and the summary shown.
#include <windows.h>

#include <cmath>
#include <cstdio>

#include "../Helpers/folders.h"
#include "../Helpers/utf.h"
#include "cli_error.h"
#include "commands.h"
#include "exit_cleanup.h"
#include "process_job.h"
#include "shown_path.h"
#include "wav_file.h"

namespace {

// Three seconds of two tones, one per side, at half of full scale.
void write_test_signal(const std::wstring& path) {
    const unsigned rate = 44100, seconds = 3;
    const double pi = 3.14159265358979323846;
    wav_writer out(path, 2, rate, sample_format::float32);
    std::vector<float> block(2 * rate);
    for (unsigned s = 0; s < seconds; ++s) {
        for (unsigned i = 0; i < rate; ++i) {
            double t = static_cast<double>(s * rate + i) / rate;
            block[2 * i] = static_cast<float>(0.5 * std::sin(2 * pi * 440.0 * t));
            block[2 * i + 1] = static_cast<float>(0.5 * std::sin(2 * pi * 660.0 * t));
        }
        out.write(block.data(), rate);
    }
    out.finish();
}

}  // namespace

void cmd_demo(const tool_options& base, const args& a) {
    if (a.size() > 2) throw cli_error("usage: orvane demo [PLUGIN.dll [INPUT.wav]]", 2);
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring work = std::wstring(temp) + L"orvane-demo-" + std::to_wstring(GetCurrentProcessId());
    const std::wstring output = work + L"\\demo-output.wav";
    tool_options options = base;
    options.profile_folder = work + L"\\profile";
    const bool default_plugin = a.empty();
    const std::string plugin = default_plugin ? wide_to_utf8(tool_folder() + L"plugins\\gain.dll") : a[0];

    std::printf("Orvane demo, in a throwaway profile: %s\n\n", shown_path(options.profile_folder).c_str());
    // Nothing of a demo that failed or was interrupted stays behind.
    exit_cleanup remove_on_interrupt(work);
    try {
        session s(options);
        std::printf("1. Adding the plug-in %s\n   ", plugin.c_str());
        cmd_add(s, {plugin});
        std::printf("2. Building the playback chain\n   ");
        cmd_chain(s, {"add", "1"});
        if (default_plugin) {
            std::printf("   ");
            cmd_param(s, {"1", "Gain", "0.375"});
        }
        std::wstring input;
        if (a.size() > 1) {
            input = utf8_to_wide(a[1]);
        } else {
            input = work + L"\\demo-input.wav";
            write_test_signal(input);
            std::printf("3. Made a test signal: 3 s of 440 Hz (left) and 660 Hz (right) at -6 dBFS\n");
        }
        std::printf("4. Processing %s\n\n", shown_path(input).c_str());
        process_result r = run_process_job(s, input, output);
        print_summary(r, output);
    } catch (...) {
        std::fflush(stdout);
        remove_folder_tree(work);
        remove_on_interrupt.release();
        throw;
    }
    remove_on_interrupt.release();
    remove_folder_tree(options.profile_folder);
    std::printf("\nThe demo's profile is gone; the output stays for you to listen to.\n");
}

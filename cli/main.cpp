// orvane: runs the component the way the player does, from the command line.
#include <windows.h>

#include <cstdio>
#include <string>

#include "../Helpers/utf.h"
#include "../host/advconfig.h"
#include "../host/component_info.h"
#include "../host/dsp.h"
#include "../host_standin/component_host.h"

namespace {

std::wstring exe_folder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p = path;
    return p.substr(0, p.find_last_of(L"\\/") + 1);
}

int show_info(component_host& host) {
    string8 name, version;
    auto info = host.service<componentversion>();
    info->get_component_name(name);
    info->get_component_version(version);
    std::printf("%s %s\n", name.get_ptr(), version.get_ptr());
    auto effects = host.services<dsp_entry>();
    std::printf("DSP effects: %zu\n", effects.size());
    for (auto& e : effects) {
        string8 n;
        e->get_name(n);
        std::printf("  %s\n", n.get_ptr());
    }
    for (auto& s : host.services<advconfig_entry>()) {
        service_ptr_t<advconfig_entry_string> value;
        if (!s.query_as(value)) continue;
        string8 n, v;
        value->get_name(n);
        value->get_state(v);
        std::printf("%s: %s\n", n.get_ptr(), v.get_ptr());
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::string profile = argc > 2 && std::wstring(argv[1]) == L"--profile" ? wide_to_utf8(argv[2]) : ".";
    host_options options;
    options.component_path = exe_folder() + L"vel_vst.dll";
    options.profile_folder = profile;
    options.echo_popups = true;
    component_host host(options);
    try {
        host.start();
        return show_info(host);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    }
}

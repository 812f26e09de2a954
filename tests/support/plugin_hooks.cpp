#include "plugin_hooks.h"

#include <sstream>

#include "../../Helpers/utf.h"
#include "test_paths.h"

plugin_hooks::plugin_hooks(const std::string& name)
    : path_(plugin_dll(name)), module_(LoadLibraryW(path_.c_str())) {}

std::string plugin_hooks::path_utf8() const { return wide_to_utf8(path_); }

std::vector<std::string> plugin_hooks::log() const {
    auto fn = hook<const char* (*)()>("test_plugin_log");
    std::vector<std::string> lines;
    if (!fn) return lines;
    std::istringstream in(fn());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> dispatch_lines(const std::vector<std::string>& log) {
    std::vector<std::string> out;
    for (const std::string& line : log) {
        if (line.rfind("dispatch ", 0) != 0) continue;
        std::string rest = line.substr(9);
        out.push_back(rest.substr(0, rest.find_last_of(' ')));
    }
    return out;
}

std::vector<std::string> plugin_hooks::opcodes() const { return dispatch_lines(log()); }

int plugin_hooks::calls(std::int32_t opcode) const {
    int n = 0;
    for (const std::string& line : opcodes()) n += line.rfind(std::to_string(opcode) + " ", 0) == 0;
    return n;
}

void plugin_hooks::clear() const {
    if (auto fn = hook<void (*)()>("test_plugin_clear_log")) fn();
}

std::intptr_t plugin_hooks::host_call(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                                      float opt) const {
    auto fn = hook<std::intptr_t (*)(std::int32_t, std::int32_t, std::intptr_t, void*, float)>(
        "test_plugin_host_call");
    return fn ? fn(opcode, index, value, ptr, opt) : -12345;
}

AEffect* plugin_hooks::last_record() const {
    auto fn = hook<AEffect* (*)()>("test_plugin_last_record");
    return fn ? fn() : nullptr;
}

DWORD plugin_hooks::opcode_thread(std::int32_t opcode) const {
    auto fn = hook<DWORD (*)(std::int32_t)>("test_plugin_opcode_thread");
    return fn ? fn(opcode) : 0;
}

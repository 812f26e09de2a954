#include "plugin_hooks.h"

#include <cstring>
#include <sstream>

#include "../../Helpers/utf.h"
#include "../../test_plugins/common/call_log.h"
#include "test_paths.h"

namespace {

// Names this test run for the plug-ins' shared logs, before any plug-in is
// loaded, so a bridge process started from here logs where we read.
const bool g_session_named = [] {
    wchar_t session[64] = {};
    if (!GetEnvironmentVariableW(L"ORVANE_TEST_SESSION", session, 64))
        SetEnvironmentVariableW(L"ORVANE_TEST_SESSION", (std::to_wstring(GetCurrentProcessId()) + L"-" +
                                                         std::to_wstring(GetTickCount64()))
                                                            .c_str());
    return true;
}();

std::wstring base_name(const std::wstring& path) {
    std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
    return name.substr(0, name.find_last_of(L'.'));
}

}  // namespace

plugin_hooks::plugin_hooks(const std::string& name)
    : path_(plugin_dll(name)), module_(LoadLibraryW(path_.c_str())), log_(open_call_log(base_name(path_))) {
    static_cast<void>(g_session_named);
}

plugin_hooks::plugin_hooks(const std::wstring& path, const std::string& name_in_log)
    : path_(path), module_(nullptr), log_(open_call_log(utf8_to_wide(name_in_log))) {}

std::string plugin_hooks::path_utf8() const { return wide_to_utf8(path_); }

std::vector<std::string> plugin_hooks::log() const {
    std::vector<std::string> lines;
    if (!log_) return lines;
    std::string text;
    {
        call_log_lock lock(*log_);
        text.assign(log_->text, log_->length);
    }
    std::istringstream in(text);
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
    if (log_) {
        call_log_lock lock(*log_);
        log_->length = 0;
        log_->dropped = 0;
    }
    if (auto fn = hook<void (*)()>("test_plugin_clear_log")) fn();
}

host_answer plugin_hooks::ask_host(vst_like_dispatch dispatch, const host_ask& question) const {
    host_answer out;
    if (!log_) return out;
    host_question& q = log_->question;
    q = {};
    q.opcode = question.opcode;
    q.index = question.index;
    q.value = question.value;
    q.opt = question.opt;
    q.from_own_thread = question.from_own_thread;
    q.pointer = question.pointer;
    std::strncpy(q.text, question.text.c_str(), sizeof q.text - 1);
    q.answer = -12345;
    out.dispatched = dispatch(k_effect_vendor_specific, k_ask_host);
    out.answer = q.answer;
    out.text = std::string(q.answer_text, ::strnlen(q.answer_text, sizeof q.answer_text));
    return out;
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

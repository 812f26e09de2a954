#include "test_plugin.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

#include "call_log.h"

namespace {

// Guards what this process keeps of its own (threads, the last instance);
// the log itself is shared with every process that loads the DLL.
std::mutex g_log_mutex;
test_plugin* g_last_instance = nullptr;
// The thread of the latest call of each opcode.
std::map<std::int32_t, DWORD> g_opcode_threads;
// A test's own function, run at the start of every dispatcher call.
void (*g_call_hook)(std::int32_t opcode, AEffect* effect) = nullptr;

// This DLL's file name without folder and extension.
std::wstring own_name() {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&own_name), &self);
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(self, path, MAX_PATH);
    std::wstring name = path;
    name = name.substr(name.find_last_of(L"\\/") + 1);
    return name.substr(0, name.find_last_of(L'.'));
}

// Every call a plug-in of this DLL receives, one line each, for the tests.
call_log_area* log_area() {
    static call_log_area* const area = open_call_log(own_name());
    return area;
}

void log_line(const char* format, ...) __attribute__((format(printf, 1, 2)));
void log_line(const char* format, ...) {
    char buf[160];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buf, sizeof buf - 1, format, args);
    va_end(args);
    call_log_area* area = log_area();
    if (!area || n < 0) return;
    const std::size_t size = static_cast<std::size_t>(n) < sizeof buf - 2 ? static_cast<std::size_t>(n) : sizeof buf - 2;
    buf[size] = '\n';
    call_log_lock lock(*area);
    if (area->length + size + 1 > sizeof area->text) {
        ++area->dropped;
        return;
    }
    std::memcpy(area->text + area->length, buf, size + 1);
    area->length += static_cast<std::uint32_t>(size + 1);
}

std::intptr_t VSTCALL dispatcher_thunk(AEffect* e, std::int32_t opcode, std::int32_t index, std::intptr_t value,
                                       void* ptr, float opt) {
    test_plugin* p = test_plugin::from(e);
    log_line("dispatch %d %d %lld %g", opcode, index, static_cast<long long>(value), static_cast<double>(opt));
    {
        std::lock_guard<std::mutex> lock(g_log_mutex);
        g_opcode_threads[opcode] = GetCurrentThreadId();
    }
    if (g_call_hook) g_call_hook(opcode, e);
    std::intptr_t r = p->dispatch(opcode, index, value, ptr, opt);
    if (opcode == effClose) delete p;
    return r;
}
void VSTCALL process_thunk(AEffect* e, float** in, float** out, std::int32_t frames) {
    log_line("process %d", frames);
    test_plugin::from(e)->process(in, out, frames);
}
void VSTCALL set_parameter_thunk(AEffect* e, std::int32_t index, float value) {
    log_line("setParameter %d %g", index, static_cast<double>(value));
    test_plugin::from(e)->set_parameter(index, value);
}
float VSTCALL get_parameter_thunk(AEffect* e, std::int32_t index) { return test_plugin::from(e)->get_parameter(index); }

}  // namespace

void test_plugin_note(const char* line) { log_line("%s", line); }

void copy_text(void* ptr, const std::string& text, std::size_t size) {
    if (!ptr || size == 0) return;
    std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(ptr, text.data(), n);
    static_cast<char*>(ptr)[n] = '\0';
}

test_plugin::test_plugin(audioMasterCallback host, plugin_shape shape)
    : host_(host), shape_(std::move(shape)), params_(static_cast<std::size_t>(shape_.params), 0.5f) {
    effect_.magic = kEffectMagic;
    effect_.dispatcher = dispatcher_thunk;
    effect_.process = process_thunk;
    effect_.setParameter = set_parameter_thunk;
    effect_.getParameter = get_parameter_thunk;
    effect_.processReplacing = process_thunk;
    effect_.numPrograms = 1;
    effect_.numParams = shape_.params;
    effect_.numInputs = shape_.inputs;
    effect_.numOutputs = shape_.outputs;
    effect_.flags = shape_.flags;
    effect_.ioRatio = 1.0f;
    effect_.object = this;
    effect_.uniqueID = shape_.unique_id;
    effect_.version = shape_.version;
    g_last_instance = this;
}

test_plugin::~test_plugin() {
    if (g_last_instance == this) g_last_instance = nullptr;
}

// Asks the host the question a test left in the log's memory, and writes
// the answer back there.
void test_plugin::ask_host() {
    call_log_area* area = log_area();
    if (!area) return;
    host_question& q = area->question;
    char buffer[256] = {};
    void* ptr = q.pointer == 1 ? static_cast<void*>(q.text) : q.pointer == 2 ? static_cast<void*>(buffer) : nullptr;
    const auto ask = [&] {
        q.answer = call_host(q.opcode, q.index, static_cast<std::intptr_t>(q.value), ptr, q.opt);
    };
    if (q.from_own_thread)
        std::thread(ask).join();
    else
        ask();
    std::memset(q.answer_text, 0, sizeof q.answer_text);
    if (q.pointer == 2) std::memcpy(q.answer_text, buffer, sizeof buffer);
    if (q.pointer == 3 && q.answer)
        std::strncpy(q.answer_text, reinterpret_cast<const char*>(q.answer), sizeof q.answer_text - 1);
}

std::intptr_t test_plugin::dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t, void* ptr, float) {
    switch (opcode) {
        case k_effect_vendor_specific:
            if (index != k_ask_host) return 0;
            ask_host();
            return 1;
        case effGetProductString: copy_text(ptr, shape_.product, kVstMaxProductStrLen); return 1;
        case effGetVendorString: copy_text(ptr, shape_.vendor, kVstMaxProductStrLen); return 1;
        case effGetEffectName: copy_text(ptr, shape_.product, 32); return 1;
        case effGetPlugCategory: return shape_.category;
        case effGetProgramName: copy_text(ptr, program_name_, kVstMaxProgNameLen + 1); return 1;
        case effSetProgramName: program_name_ = ptr ? std::string(static_cast<const char*>(ptr)) : ""; return 1;
        case effGetParamName: copy_text(ptr, parameter_name(index), 32); return 1;
        case effGetParamLabel: copy_text(ptr, parameter_label(index), 32); return 1;
        case effGetParamDisplay: copy_text(ptr, parameter_display(index), 32); return 1;
        default: return 0;
    }
}

void test_plugin::process(float** inputs, float** outputs, std::int32_t frames) {
    for (std::int32_t ch = 0; ch < shape_.outputs; ++ch)
        for (std::int32_t i = 0; i < frames; ++i)
            outputs[ch][i] = ch < shape_.inputs ? inputs[ch][i] : 0.0f;
}

void test_plugin::set_parameter(std::int32_t index, float value) {
    if (index >= 0 && index < shape_.params) params_[static_cast<std::size_t>(index)] = value;
}

float test_plugin::get_parameter(std::int32_t index) {
    return index >= 0 && index < shape_.params ? params_[static_cast<std::size_t>(index)] : 0.0f;
}

std::string test_plugin::parameter_display(std::int32_t index) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", static_cast<double>(get_parameter(index)));
    return buf;
}

TEST_PLUGIN_EXPORT void test_plugin_clear_log() {
    std::lock_guard<std::mutex> lock(g_log_mutex);
    g_opcode_threads.clear();
}

// The thread that last sent `opcode`, or 0 when none did since the last clear.
TEST_PLUGIN_EXPORT DWORD test_plugin_opcode_thread(std::int32_t opcode) {
    std::lock_guard<std::mutex> lock(g_log_mutex);
    auto found = g_opcode_threads.find(opcode);
    return found == g_opcode_threads.end() ? 0 : found->second;
}

// Calls the host back as the most recently created instance would.
TEST_PLUGIN_EXPORT std::intptr_t test_plugin_host_call(std::int32_t opcode, std::int32_t index, std::intptr_t value,
                                                       void* ptr, float opt) {
    return g_last_instance ? g_last_instance->call_host(opcode, index, value, ptr, opt) : 0;
}

TEST_PLUGIN_EXPORT void test_plugin_set_call_hook(void (*hook)(std::int32_t opcode, AEffect* effect)) {
    g_call_hook = hook;
}

TEST_PLUGIN_EXPORT AEffect* test_plugin_last_record() {
    return g_last_instance ? g_last_instance->record() : nullptr;
}

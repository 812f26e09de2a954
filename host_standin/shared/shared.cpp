// The player's shared library as the stand-in offers it. The filter lets the
// guard end every message and keeps what it filtered, so a run can show it
// and a test can read it.
#define ORVANE_BUILDING_SHARED
#include "../../host/shared.h"

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "shared_record.h"

namespace {

std::mutex g_mutex;
std::vector<std::string> g_filtered;
// Plain thread-local data: this runtime ends a DLL's thread-local objects
// that have a destructor after it has freed their storage. A label lives as
// long as its tracker, so keeping its address is enough.
constexpr std::size_t k_max_labels = 64;
thread_local const char* t_labels[k_max_labels];
thread_local std::size_t t_depth = 0;

std::string describe(const EXCEPTION_POINTERS* p) {
    if (!p || !p->ExceptionRecord) return "exception without a record";
    const EXCEPTION_RECORD& r = *p->ExceptionRecord;
    if (r.ExceptionCode == k_cpp_exception_code && r.NumberParameters >= 1 && r.ExceptionInformation[0])
        return reinterpret_cast<const char*>(r.ExceptionInformation[0]);
    char text[64];
    std::snprintf(text, sizeof text, "exception 0x%08lX", static_cast<unsigned long>(r.ExceptionCode));
    return text;
}

}  // namespace

extern "C" LONG __cdecl uExceptFilterProc(EXCEPTION_POINTERS* param) {
    std::string text = describe(param);
    std::fprintf(stderr, "Exception in a window message: %s\n", text.c_str());
    std::fflush(stderr);
    std::lock_guard<std::mutex> lock(g_mutex);
    g_filtered.push_back(std::move(text));
    return EXCEPTION_EXECUTE_HANDLER;
}

extern "C" BOOL __cdecl uFormatSystemErrorMessage(string_base& out, DWORD code) {
    wchar_t* buffer = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (n == 0 || !buffer) return FALSE;
    while (n > 0 && (buffer[n - 1] == L'\r' || buffer[n - 1] == L'\n' || buffer[n - 1] == L' ')) --n;
    int bytes = WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(n), &text[0], bytes, nullptr, nullptr);
    LocalFree(buffer);
    out.set_string(text.c_str(), text.size());
    return TRUE;
}

uCallStackTracker::uCallStackTracker(const char* label) : depth_(t_depth) {
    // Labels deeper than the table holds are counted, not kept.
    if (t_depth < k_max_labels) t_labels[t_depth] = label ? label : "";
    ++t_depth;
}

uCallStackTracker::~uCallStackTracker() { t_depth = depth_; }

extern "C" std::size_t __cdecl standin_filtered_count() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_filtered.size();
}

extern "C" void __cdecl standin_filtered_text(std::size_t index, string_base& out) {
    std::lock_guard<std::mutex> lock(g_mutex);
    out.set_string(index < g_filtered.size() ? g_filtered[index].c_str() : "");
}

extern "C" void __cdecl standin_call_stack(string_base& out) {
    out.set_string("");
    for (std::size_t i = 0; i < t_depth && i < k_max_labels; ++i) {
        if (i) out.add_string(" > ");
        out.add_string(t_labels[i]);
    }
}

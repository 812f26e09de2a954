// Refuses to load the first time a test run loads it, and loads from then
// on: a process start that goes wrong once. Its loads are counted in the
// run's shared log, so the count survives the process that refused.
#include <cstring>

#include "common/call_log.h"
#include "common/test_plugin.h"

namespace {

const char k_line[] = "load\n";
constexpr std::uint32_t k_line_size = sizeof k_line - 1;

int loads_so_far(const call_log_area& log) {
    int loads = 0;
    for (std::uint32_t at = 0; at + k_line_size <= log.length && at + k_line_size <= sizeof log.text; ++at)
        if (std::memcmp(log.text + at, k_line, k_line_size) == 0) ++loads;
    return loads;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    call_log_area* log = open_call_log(L"refuse_once");
    if (!log) return FALSE;
    call_log_lock lock(*log);
    const int earlier = loads_so_far(*log);
    if (log->length <= sizeof log->text - k_line_size) {
        std::memcpy(log->text + log->length, k_line, k_line_size);
        log->length += k_line_size;
    }
    return earlier > 0;
}

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    return (new test_plugin(host, {0x4F526631 /* ORf1 */, 2, 2, 0, effFlagsCanReplacing, 1, "Orvane Refuse Once",
                                   "Orvane Labs"}))->record();
}

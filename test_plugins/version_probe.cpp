// Asks the host for its version, with a null record, before it has made
// its own record.
#include "common/test_plugin.h"

namespace {
std::intptr_t g_version_answer = -1;
std::intptr_t g_current_id_answer = -1;
}  // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    g_version_answer = host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f);
    g_current_id_answer = host(nullptr, audioMasterCurrentId, 0, 0, nullptr, 0.0f);
    return (new test_plugin(host, {0x4F566572 /* OVer */, 2, 2, 0, effFlagsCanReplacing, 1, "Version Probe",
                                   "Orvane Labs"}))
        ->record();
}
TEST_PLUGIN_EXPORT std::intptr_t probe_version_answer() { return g_version_answer; }
TEST_PLUGIN_EXPORT std::intptr_t probe_current_id_answer() { return g_current_id_answer; }

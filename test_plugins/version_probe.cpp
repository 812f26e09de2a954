// Asks the host for its version, with a null record, before it has made
// its own record.
#include <cstdio>

#include "common/test_plugin.h"

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    char line[64];
    std::snprintf(line, sizeof line, "version %lld", static_cast<long long>(host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f)));
    test_plugin_note(line);
    std::snprintf(line, sizeof line, "current id %lld",
                  static_cast<long long>(host(nullptr, audioMasterCurrentId, 0, 0, nullptr, 0.0f)));
    test_plugin_note(line);
    return (new test_plugin(host, {0x4F566572 /* OVer */, 2, 2, 0, effFlagsCanReplacing, 1, "Version Probe",
                                   "Orvane Labs"}))
        ->record();
}

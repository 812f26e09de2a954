// A plain 2-in/2-out effect with three parameters. Like every test
// plug-in it logs what it receives; the tests read the log for call order.
#include "common/test_plugin.h"

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    return (new test_plugin(host, {0x4F526563 /* ORec */, 2, 2, 3, effFlagsCanReplacing, 1, "Recorder",
                                   "Orvane Labs"}))
        ->record();
}

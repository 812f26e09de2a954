// Two inputs and no outputs: an analyser, not an effect.
#include "common/test_plugin.h"

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    return (new test_plugin(host, {0x4F4E6F4F /* ONoO */, 2, 0, 0, effFlagsCanReplacing, 1, "No Outputs",
                                   "Orvane Labs"}))
        ->record();
}

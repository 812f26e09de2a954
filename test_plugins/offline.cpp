// An offline processor: the component refuses it.
#include "common/test_plugin.h"

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    plugin_shape shape{0x4F4F6666 /* OOff */, 2, 2, 0, effFlagsCanReplacing, 1, "Offline", "Orvane Labs",
                       kPlugCategOfflineProcess};
    return (new test_plugin(host, shape))->record();
}

// An instrument: the component refuses it.
#include "common/test_plugin.h"

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    plugin_shape shape{0x4F53796E /* OSyn */, 1, 2, 0, effFlagsCanReplacing | effFlagsIsSynth, 1, "Synth",
                       "Orvane Labs", kPlugCategSynth};
    return (new test_plugin(host, shape))->record();
}

// Reports neither product nor vendor.
#include "common/test_plugin.h"

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    return (new test_plugin(host, {0x4F416E6F /* OAno */, 2, 2, 0, effFlagsCanReplacing, 1, "", ""}))->record();
}

// A DLL without a plug-in entry function.
#include "common/test_plugin.h"

TEST_PLUGIN_EXPORT int not_a_plugin() { return 0; }

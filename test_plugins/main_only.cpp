// Exports its entry function only under the old name "main" (see main_only.def).
#include "common/test_plugin.h"

extern "C" AEffect* VSTCALL plugin_entry(audioMasterCallback host) {
    return (new test_plugin(host, {0x4F4D6169 /* OMai */, 2, 2, 0, effFlagsCanReplacing, 1, "Main Only",
                                   "Orvane Labs"}))
        ->record();
}

// The component's one exported function.
#include <windows.h>

#include "../dsp/slot_factories.h"
#include "client.h"
#include "factory_list.h"
#include "list_file.h"
#include "plugin_list.h"

namespace {
// Construct the client (and route the runtime's signals) at static
// initialisation, before the host calls anything.
velmora_client_impl& g_client_at_load = client();

unsigned g_registered_slots = 0;  // bit N: slot N's record is linked
}  // namespace

extern "C" __declspec(dllexport) velmora_client* velmora_get_interface(velmora_api* api, HINSTANCE instance) {
    velmora_client_impl& c = client();
    c.api = api;
    c.instance = instance;

    entry_list& list = plugin_list();
    load_list(list);
    const auto count = static_cast<long long>(static_cast<int>(list.size()));
    for (int n = 0; n < k_slot_count; ++n) {
        if (count > n && !(g_registered_slots & (1u << n))) {
            g_registered_slots |= 1u << n;
            link_factory(slot_factory(n));
        }
    }
    return &c;
}

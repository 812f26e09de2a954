#pragma once
// A host stand-in around the component code linked into the test itself,
// for tests of the component's inner parts.
#include <memory>

#include "../../host_standin/component_host.h"
#include "test_paths.h"

extern "C" velmora_client* velmora_get_interface(velmora_api* api, HINSTANCE instance);

class linked_host {
public:
    linked_host() {
        host_options o;
        o.linked_entry = &velmora_get_interface;
        o.profile_folder = profile.utf8();
        host = std::make_unique<component_host>(o);
        host->start();
    }
    ~linked_host() { host.reset(); }
    component_host* operator->() { return host.get(); }

    temp_folder profile;
    std::unique_ptr<component_host> host;
};

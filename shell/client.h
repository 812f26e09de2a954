#pragma once
// The object the export hands to the host.
#include <windows.h>

#include <string>

#include "../host/api.h"

struct velmora_component_globals {
    velmora_api* api = nullptr;
    HINSTANCE instance = nullptr;
    std::string full_path;
    std::string file_name;
    bool services_available = false;
    bool initialised = false;
};

class velmora_client_impl final : public velmora_client, public velmora_component_globals {
public:
    velmora_client_impl();

    unsigned version() override { return 76; }
    service_factory_base* service_list() override;
    void write_configuration(stream_writer& out, abort_callback& abort) override;
    void read_configuration(stream_reader& in, abort_callback& abort) override;
    void set_library_path(const char* full_path, const char* file_name) override;
    void set_services_available(bool available) override;
    bool is_debug_build() override { return false; }
};

velmora_client_impl& client();

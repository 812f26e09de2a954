#pragma once
// The two objects the host and a component exchange at load time: the host's
// API object, and the client object the component's export returns.
#include <windows.h>

#include <cstddef>

#include "abort.h"
#include "service.h"
#include "streams.h"

// Opaque handle of a service class inside the host.
struct host_service_class;
using service_class_ref = const host_service_class*;

class velmora_api {
public:
    virtual service_class_ref find_class(const GUID& guid) = 0;                            // 0
    virtual service_base* create_service(service_class_ref cls, std::size_t index) = 0;    // 1, new reference
    virtual std::size_t count_services(service_class_ref cls) = 0;                         // 2
    virtual HWND main_window() = 0;                                                         // 3
    virtual bool is_shutting_down() = 0;                                                    // 4
    virtual bool is_main_thread() = 0;                                                      // 5
    virtual bool is_initializing() = 0;                                                     // 6
    virtual const char* profile_folder() = 0;                                               // 7, UTF-8
    virtual const char* executable_path() = 0;                                              // 8, UTF-8
    virtual bool is_portable_installation() = 0;                                            // 9

protected:
    ~velmora_api() = default;
};

class velmora_client {
public:
    virtual unsigned version() = 0;                                                              // 0
    virtual service_factory_base* service_list() = 0;                                           // 1
    virtual void write_configuration(stream_writer& out, abort_callback& abort) = 0;            // 2
    virtual void read_configuration(stream_reader& in, abort_callback& abort) = 0;              // 3
    virtual void set_library_path(const char* full_path, const char* file_name) = 0;           // 4
    virtual void set_services_available(bool available) = 0;                                    // 5
    virtual bool is_debug_build() = 0;                                                          // 6

protected:
    ~velmora_client() = default;
};

using velmora_get_interface_fn = velmora_client* (*)(velmora_api* api, HINSTANCE instance);

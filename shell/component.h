#pragma once
// What the component knows about its host and itself once the host has
// called the export.
#include <windows.h>

#include <string>

#include "../host/api.h"
#include "../host/service_lookup.h"

inline constexpr char k_component_name[] = "Orvane";
inline constexpr char k_component_version[] = "0.8.0.1";
inline constexpr char k_component_file_name[] = "vel_vst.dll";

// The host's API object; valid from the export on.
velmora_api& core_api();
bool has_core_api();
HINSTANCE component_instance();
bool services_available();
const std::string& component_full_path();
const std::string& component_file_name();

// The one service of class T from the host.
template <class T>
service_ptr_t<T> host_service() {
    return find_single_service<T>(core_api());
}

// True on the host's main thread, and whenever host services are not
// available (start-up and shutdown run on the main thread).
bool on_main_thread();

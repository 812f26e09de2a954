#pragma once
// The media player's stand-in: it loads the component the way the player
// does and offers it the player's services.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../Helpers/win32_handles.h"
#include "../host/api.h"
#include "../host/service_lookup.h"
#include "dsp_chain_store.h"
#include "main_thread_queue.h"
#include "player_window.h"
#include "popup_recorder.h"
#include "service_registry.h"
#include "win32_filesystem.h"

class component_host;

struct host_options {
    std::wstring component_path;      // the DLL to load with LoadLibraryW
    velmora_get_interface_fn linked_entry = nullptr;  // or an export linked into this process
    std::string profile_folder;       // UTF-8
    bool portable = false;
    bool echo_popups = false;
    std::vector<unsigned char> configuration;  // handed to the component at start
    // Runs once the component's services are there and before its start
    // hooks run (which load the chain's plug-ins): a caller that must watch
    // that loading, or tell the component something first, does it here.
    std::function<void(component_host&)> before_start_hooks;
};

class component_host final : private velmora_api {
public:
    explicit component_host(host_options options);
    ~component_host();
    component_host(const component_host&) = delete;
    component_host& operator=(const component_host&) = delete;

    // Loads the component, calls its export, hands it path, configuration and
    // the services flag, then runs the start hooks. Throws host_exception
    // when the DLL cannot be loaded or lacks the export.
    void start();
    // Runs the stop hooks and unloads the component.
    void stop();
    bool started() const { return client_ != nullptr; }

    velmora_api& api() { return *this; }
    velmora_client& client() { return *client_; }
    std::vector<unsigned char> save_configuration();

    popup_recorder& popups() { return popups_; }
    dsp_chain_store& chain() { return chain_; }
    main_thread_queue& queue() { return queue_; }
    std::size_t pump() { return queue().pump(); }
    // The player's main window; its menu bar carries the component's menus.
    player_window& window();

    template <class T>
    service_ptr_t<T> service() { return find_single_service<T>(*this); }
    template <class T>
    std::vector<service_ptr_t<T>> services() {
        std::vector<service_ptr_t<T>> out;
        for_each_service<T>(*this, [&](service_ptr_t<T> s) { out.push_back(std::move(s)); return true; });
        return out;
    }
    const std::string& profile() const { return options_.profile_folder; }
    // Another service of the player, beside its own and the component's
    // (for example a DSP of its own). Kept until the component stops.
    void add_service(const GUID& cls, std::function<service_base*()> creator) { registry_.add(cls, std::move(creator)); }

private:
    service_class_ref find_class(const GUID& guid) override;
    service_base* create_service(service_class_ref cls, std::size_t index) override;
    std::size_t count_services(service_class_ref cls) override;
    HWND main_window() override;
    bool is_shutting_down() override { return shutting_down_; }
    bool is_main_thread() override { return GetCurrentThreadId() == main_thread_; }
    bool is_initializing() override { return initializing_; }
    const char* profile_folder() override { return options_.profile_folder.c_str(); }
    const char* executable_path() override { return executable_.c_str(); }
    bool is_portable_installation() override { return options_.portable; }

    void register_own_services();
    template <class T>
    void add_own(service_impl_single_t<T>& object) {
        registry_.add(T::service_class::class_guid, [&object] { object.add_ref(); return &object; });
    }

    host_options options_;
    DWORD main_thread_;
    std::string executable_;
    bool shutting_down_ = false;
    bool initializing_ = false;
    service_registry registry_;
    service_impl_single_t<popup_recorder> popups_;
    service_impl_single_t<dsp_chain_store> chain_;
    service_impl_single_t<main_thread_queue> queue_;
    service_impl_single_t<win32_filesystem> filesystem_;
    class version_info;
    std::unique_ptr<service_impl_single_t<version_info>> version_;
    std::unique_ptr<player_window> window_;
    unique_module module_;
    velmora_client* client_ = nullptr;
};

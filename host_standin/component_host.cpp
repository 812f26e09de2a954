#include "component_host.h"

#include "../Helpers/utf.h"
#include "../host/dsp_config.h"
#include "../host/exceptions.h"
#include "../host/initquit.h"
#include "../host/version.h"

class component_host::version_info : public core_version_info {
public:
    bool query(service_base*& out, const GUID& guid) override {
        return answer_query<version_info, core_version_info>(this, out, guid);
    }
    const char* version_string() override { return "Velmora 2.1.0"; }
};

component_host::component_host(host_options options)
    : options_(std::move(options)),
      main_thread_(GetCurrentThreadId()),
      version_(std::make_unique<service_impl_single_t<version_info>>()) {
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    executable_ = wide_to_utf8(exe);
    popups().set_echo(options_.echo_popups);
    register_own_services();
    chain().add_listener([this](const dsp_chain_config& c) {
        for (auto& cb : services<dsp_config_callback>()) cb->on_chain_changed(c);
    });
}

// Made on first use: a window costs a Wine process its display connection,
// which a run that never shows anything need not pay.
player_window& component_host::window() {
    if (!window_) {
        window_ = std::make_unique<player_window>(api(), chain(), queue());
        if (client_) window_->attach_component();
    }
    return *window_;
}

// Other threads get no parent window until the main thread has made it.
HWND component_host::main_window() {
    if (!window_ && GetCurrentThreadId() != main_thread_) return nullptr;
    return window().hwnd();
}

component_host::~component_host() { stop(); }

void component_host::start() {
    if (client_) return;
    velmora_get_interface_fn entry = options_.linked_entry;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    std::string full_path = executable_;
    if (!entry) {
        module_.reset(LoadLibraryW(options_.component_path.c_str()));
        if (!module_) throw host_exception("Could not load the component: " + wide_to_utf8(options_.component_path));
        entry = reinterpret_cast<velmora_get_interface_fn>(
            reinterpret_cast<void*>(GetProcAddress(module_.get(), "velmora_get_interface")));
        if (!entry) {
            module_.reset();
            throw host_exception("The component has no velmora_get_interface export");
        }
        instance = module_.get();
        full_path = wide_to_utf8(options_.component_path);
    }

    initializing_ = true;
    client_ = entry(this, instance);
    std::size_t cut = full_path.find_last_of("\\/");
    client_->set_library_path(full_path.c_str(),
                              (cut == std::string::npos ? full_path : full_path.substr(cut + 1)).c_str());
    if (!options_.configuration.empty()) {
        stream_reader_memblock in(options_.configuration.data(), options_.configuration.size());
        abort_callback_dummy abort;
        client_->read_configuration(in, abort);
    }
    client_->set_services_available(true);
    registry_.add_factory_list(client_->service_list());
    if (options_.before_start_hooks) options_.before_start_hooks(*this);
    for (auto& s : services<initquit>()) s->on_init();
    initializing_ = false;
    if (window_) window_->attach_component();
}

void component_host::stop() {
    if (!client_) return;
    shutting_down_ = true;
    pump();
    for (auto& s : services<initquit>()) s->on_quit();
    pump();
    options_.configuration = save_configuration();
    if (window_) window_->detach_component();
    client_->set_services_available(false);
    client_ = nullptr;
    registry_ = service_registry();
    register_own_services();
    module_.reset();
    shutting_down_ = false;
}

std::vector<unsigned char> component_host::save_configuration() {
    if (!client_) return options_.configuration;
    stream_writer_buffer_simple out;
    abort_callback_dummy abort;
    client_->write_configuration(out, abort);
    return out.data;
}

service_class_ref component_host::find_class(const GUID& guid) { return registry_.find(guid); }

service_base* component_host::create_service(service_class_ref cls, std::size_t index) {
    if (!cls || index >= cls->creators.size()) return nullptr;
    return cls->creators[index]();
}

std::size_t component_host::count_services(service_class_ref cls) { return cls ? cls->creators.size() : 0; }

void component_host::register_own_services() {
    add_own(popups_);
    add_own(chain_);
    add_own(queue_);
    add_own(filesystem_);
    add_own(*version_);
}

#include "client.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "../host/cfg_var.h"
#include "component.h"
#include "config_records.h"
#include "factory_list.h"
#include "../vst/guard/signal_routing.h"

namespace {

class stream_source final : public byte_source {
public:
    stream_source(stream_reader& in, abort_callback& abort) : in_(in), abort_(abort) {}
    std::size_t read(unsigned char* out, std::size_t n) override { return in_.read(out, n, abort_); }

private:
    stream_reader& in_;
    abort_callback& abort_;
};

// Hands each record of one of our variables to that variable.
class variable_sink final : public config_record_sink {
public:
    explicit variable_sink(abort_callback& abort) : abort_(abort) {}
    bool wants(const config_identifier& id) override { return find(id) != nullptr; }
    void take(const config_identifier& id, const unsigned char* body, std::size_t size) override {
        stream_reader_memblock record(body, size);
        try {
            find(id)->read_raw(record, size, abort_);
        } catch (const exception_io&) {
            // A record too short for the variable leaves its value as it was.
        }
    }

private:
    static cfg_var_reader* find(const config_identifier& id) {
        GUID g;
        std::memcpy(&g, id.data(), sizeof g);
        for (cfg_var_reader* r = cfg_var_reader::head; r; r = r->next)
            if (r->guid == g) return r;
        return nullptr;
    }
    abort_callback& abort_;
};

}  // namespace

velmora_client_impl::velmora_client_impl() { route_runtime_signals(); }

velmora_client_impl& client() {
    static velmora_client_impl instance;
    return instance;
}

service_factory_base* velmora_client_impl::service_list() { return factory_list_head(); }

void velmora_client_impl::write_configuration(stream_writer& out, abort_callback& abort) {
    for (cfg_var_writer* w = cfg_var_writer::head; w; w = w->next) {
        stream_writer_buffer_simple body;
        w->write_raw(body, abort);
        out.write(&w->guid, sizeof(GUID), abort);
        out.write_lendian<std::uint32_t>(static_cast<std::uint32_t>(body.data.size()), abort);
        out.write(body.data.data(), body.data.size(), abort);
    }
}

void velmora_client_impl::read_configuration(stream_reader& in, abort_callback& abort) {
    stream_source source(in, abort);
    variable_sink sink(abort);
    read_config_records(source, sink);
}

void velmora_client_impl::set_library_path(const char* path, const char* name) {
    full_path = path ? path : "";
    file_name = name ? name : "";
}

void velmora_client_impl::set_services_available(bool available) {
    services_available = available;
    if (available) initialised = true;
}

velmora_api& core_api() { return *client().api; }
bool has_core_api() { return client().api != nullptr; }
HINSTANCE component_instance() { return client().instance; }
bool services_available() { return client().services_available; }
const std::string& component_full_path() { return client().full_path; }
const std::string& component_file_name() { return client().file_name; }

bool on_main_thread() { return !services_available() || !has_core_api() || core_api().is_main_thread(); }

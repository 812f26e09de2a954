#include "client.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "../host/cfg_var.h"
#include "component.h"
#include "factory_list.h"
#include "signal_routing.h"

namespace {
// Larger records are not ours to hold in memory; they are skipped.
constexpr std::uint32_t k_max_record_bytes = 1u << 20;
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
    for (;;) {
        GUID id;
        if (in.read(&id, sizeof id, abort) != sizeof id) return;
        unsigned char size_bytes[4];
        if (in.read(size_bytes, 4, abort) != 4) return;
        std::uint32_t size = size_bytes[0] | (size_bytes[1] << 8) | (size_bytes[2] << 16) |
                             (static_cast<std::uint32_t>(size_bytes[3]) << 24);

        cfg_var_reader* var = nullptr;
        for (cfg_var_reader* r = cfg_var_reader::head; r && !var; r = r->next)
            if (r->guid == id) var = r;
        if (!var || size > k_max_record_bytes) {
            if (in.skip(size, abort) != size) return;
            continue;
        }
        std::vector<unsigned char> body(size);
        if (in.read(body.data(), size, abort) != size) return;
        stream_reader_memblock record(body.data(), body.size());
        try {
            var->read_raw(record, size, abort);
        } catch (const exception_io&) {
            // A record too short for the variable leaves its value as it was.
        }
    }
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

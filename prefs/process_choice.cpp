#include "process_choice.h"

#include <algorithm>
#include <cstring>

#include "../shell/identifier_set_format.h"

namespace {

constexpr GUID k_choice_guid = {0xFEC163D3, 0x2020, 0x4CD6, {0x89, 0xE7, 0x5C, 0x4D, 0x6F, 0x0F, 0x1A, 0x7F}};

process_choice g_choice(k_choice_guid);

config_identifier bytes_of(const GUID& g) {
    config_identifier id;
    std::memcpy(id.data(), &g, sizeof g);
    return id;
}

GUID guid_of(const config_identifier& id) {
    GUID g;
    std::memcpy(&g, id.data(), sizeof g);
    return g;
}

}  // namespace

process_choice& own_process_choice() { return g_choice; }

bool process_choice::own_process(const GUID& plugin) const {
    const config_identifier id = bytes_of(plugin);
    std::lock_guard<std::mutex> guard(lock_);
    return std::find(plugins_.begin(), plugins_.end(), id) != plugins_.end();
}

bool process_choice::choose(const GUID& plugin, bool own) {
    const config_identifier id = bytes_of(plugin);
    std::lock_guard<std::mutex> guard(lock_);
    const auto found = std::find(plugins_.begin(), plugins_.end(), id);
    if (!own) {
        if (found != plugins_.end()) plugins_.erase(found);
        return true;
    }
    if (found != plugins_.end()) return true;
    if (plugins_.size() >= k_max_stored_identifiers) return false;
    plugins_.push_back(id);
    return true;
}

std::vector<GUID> process_choice::chosen() const {
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<GUID> out;
    for (const config_identifier& id : plugins_) out.push_back(guid_of(id));
    return out;
}

void process_choice::assign(const std::vector<GUID>& plugins) {
    std::vector<config_identifier> kept;
    for (const GUID& g : plugins) {
        const config_identifier id = bytes_of(g);
        if (kept.size() < k_max_stored_identifiers && std::find(kept.begin(), kept.end(), id) == kept.end())
            kept.push_back(id);
    }
    std::lock_guard<std::mutex> guard(lock_);
    plugins_ = std::move(kept);
}

void process_choice::read_raw(stream_reader& in, std::size_t size, abort_callback& abort) {
    if (size > config_max_record_bytes) return;
    std::vector<unsigned char> body(size);
    in.read_object(body.data(), body.size(), abort);
    std::vector<config_identifier> read;
    if (!decode_identifier_set(body.data(), body.size(), read)) return;
    std::lock_guard<std::mutex> guard(lock_);
    plugins_ = std::move(read);
}

void process_choice::write_raw(stream_writer& out, abort_callback& abort) {
    std::vector<unsigned char> body;
    {
        std::lock_guard<std::mutex> guard(lock_);
        body = encode_identifier_set(plugins_);
    }
    out.write(body.data(), body.size(), abort);
}

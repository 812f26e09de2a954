#include "process_choice.h"

#include <algorithm>
#include <cstring>

#include "../shell/identifier_set_format.h"

namespace {

constexpr GUID k_choice_guid = {0xFEC163D3, 0x2020, 0x4CD6, {0x89, 0xE7, 0x5C, 0x4D, 0x6F, 0x0F, 0x1A, 0x7F}};
constexpr GUID k_moved_guid = {0x2B2F17FE, 0x34F0, 0x4060, {0x98, 0xFA, 0xEE, 0xB0, 0xC0, 0xB0, 0x4D, 0x7C}};

process_choice g_choice(k_choice_guid, k_moved_guid);

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

bool holds(const std::vector<config_identifier>& set, const config_identifier& id) {
    return std::find(set.begin(), set.end(), id) != set.end();
}

void drop(std::vector<config_identifier>& set, const config_identifier& id) {
    set.erase(std::remove(set.begin(), set.end(), id), set.end());
}

// A record's identifiers, or false for a damaged record (which is not
// believed at all).
bool read_identifier_set(stream_reader& in, std::size_t size, abort_callback& abort,
                         std::vector<config_identifier>& read) {
    if (size > config_max_record_bytes) return false;
    std::vector<unsigned char> body(size);
    in.read_object(body.data(), body.size(), abort);
    return decode_identifier_set(body.data(), body.size(), read);
}

void write_identifier_set(stream_writer& out, abort_callback& abort, const std::vector<config_identifier>& ids) {
    const std::vector<unsigned char> body = encode_identifier_set(ids);
    out.write(body.data(), body.size(), abort);
}

}  // namespace

process_choice& own_process_choice() { return g_choice; }

bool process_choice::chosen_locked(const config_identifier& id) const { return holds(plugins_, id); }

bool process_choice::own_process(const GUID& plugin) const {
    const config_identifier id = bytes_of(plugin);
    std::lock_guard<std::mutex> guard(lock_);
    return chosen_locked(id);
}

bool process_choice::moved_after_crash(const GUID& plugin) const {
    const config_identifier id = bytes_of(plugin);
    std::lock_guard<std::mutex> guard(lock_);
    return chosen_locked(id) && holds(moved_, id);
}

bool process_choice::choose(const GUID& plugin, bool own) {
    const config_identifier id = bytes_of(plugin);
    std::lock_guard<std::mutex> guard(lock_);
    if (!own) {
        drop(plugins_, id);
        drop(moved_, id);
        return true;
    }
    if (!chosen_locked(id)) {
        if (plugins_.size() >= k_max_stored_identifiers) return false;
        plugins_.push_back(id);
    }
    drop(moved_, id);
    return true;
}

bool process_choice::choose_after_crash(const GUID& plugin) {
    const config_identifier id = bytes_of(plugin);
    std::lock_guard<std::mutex> guard(lock_);
    if (chosen_locked(id) || plugins_.size() >= k_max_stored_identifiers) return false;
    plugins_.push_back(id);
    if (!holds(moved_, id)) moved_.push_back(id);
    return true;
}

std::vector<GUID> process_choice::chosen() const {
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<GUID> out;
    for (const config_identifier& id : plugins_) out.push_back(guid_of(id));
    return out;
}

std::vector<GUID> process_choice::moved() const {
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<GUID> out;
    for (const config_identifier& id : moved_)
        if (chosen_locked(id)) out.push_back(guid_of(id));
    return out;
}

void process_choice::assign(const std::vector<GUID>& plugins, const std::vector<GUID>& moved) {
    std::vector<config_identifier> kept, marked;
    for (const GUID& g : plugins) {
        const config_identifier id = bytes_of(g);
        if (kept.size() < k_max_stored_identifiers && !holds(kept, id)) kept.push_back(id);
    }
    for (const GUID& g : moved) {
        const config_identifier id = bytes_of(g);
        if (holds(kept, id) && !holds(marked, id)) marked.push_back(id);
    }
    std::lock_guard<std::mutex> guard(lock_);
    plugins_ = std::move(kept);
    moved_ = std::move(marked);
}

void process_choice::read_raw(stream_reader& in, std::size_t size, abort_callback& abort) {
    std::vector<config_identifier> read;
    if (!read_identifier_set(in, size, abort, read)) return;
    std::lock_guard<std::mutex> guard(lock_);
    plugins_ = std::move(read);
}

void process_choice::write_raw(stream_writer& out, abort_callback& abort) {
    std::vector<config_identifier> ids;
    {
        std::lock_guard<std::mutex> guard(lock_);
        ids = plugins_;
    }
    write_identifier_set(out, abort, ids);
}

void process_choice::moved_record::read_raw(stream_reader& in, std::size_t size, abort_callback& abort) {
    std::vector<config_identifier> read;
    if (!read_identifier_set(in, size, abort, read)) return;
    std::lock_guard<std::mutex> guard(owner_.lock_);
    owner_.moved_ = std::move(read);
}

void process_choice::moved_record::write_raw(stream_writer& out, abort_callback& abort) {
    std::vector<config_identifier> ids;
    {
        std::lock_guard<std::mutex> guard(owner_.lock_);
        for (const config_identifier& id : owner_.moved_)
            if (owner_.chosen_locked(id)) ids.push_back(id);
    }
    write_identifier_set(out, abort, ids);
}

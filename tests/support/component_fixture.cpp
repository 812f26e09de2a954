#include "component_fixture.h"

#include <cstring>

#include "../../Helpers/utf.h"

namespace {
const GUID k_output_limit = {0x0B845278, 0x89EA, 0x46FC, {0xBE, 0x6F, 0x6D, 0x11, 0x1F, 0xFE, 0x94, 0x8C}};
const GUID k_declicker = {0xF0048EF8, 0x9EF0, 0x4D7E, {0xA2, 0x4C, 0x55, 0x63, 0xE0, 0xFF, 0xA0, 0x9E}};

void put_body(std::vector<unsigned char>& out, const GUID& id, const std::vector<unsigned char>& body) {
    const auto* g = reinterpret_cast<const unsigned char*>(&id);
    out.insert(out.end(), g, g + 16);
    const auto size = static_cast<std::uint32_t>(body.size());
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(size >> (8 * i)));
    out.insert(out.end(), body.begin(), body.end());
}

void put_record(std::vector<unsigned char>& out, const GUID& id, std::uint64_t value) {
    std::vector<unsigned char> body;
    for (int i = 0; i < 8; ++i) body.push_back(static_cast<unsigned char>(value >> (8 * i)));
    put_body(out, id, body);
}
}  // namespace

const GUID k_process_choice_record = {0xFEC163D3, 0x2020, 0x4CD6, {0x89, 0xE7, 0x5C, 0x4D, 0x6F, 0x0F, 0x1A, 0x7F}};
const GUID k_every_plugin_record = {0x85CE8811, 0xC1F5, 0x4461, {0x96, 0x70, 0xF7, 0x7D, 0x86, 0xAE, 0x2B, 0x6D}};
const GUID k_match_channels_record = {0xF3ADE0D4, 0x5BF5, 0x4CB0, {0x9C, 0x2A, 0x71, 0x4F, 0x38, 0x0E, 0xCE, 0x8F}};
const GUID k_report_delay_record = {0x99FB442E, 0xB065, 0x4298, {0x9B, 0x5D, 0x30, 0x88, 0xF5, 0xD2, 0xC0, 0x01}};
const GUID k_moved_after_crash_record = {0x2B2F17FE, 0x34F0, 0x4060, {0x98, 0xFA, 0xEE, 0xB0, 0xC0, 0xB0, 0x4D, 0x7C}};
const GUID k_scan_memory_record = {0xD2FB3A4A, 0x0AFD, 0x4674, {0xB5, 0x04, 0x03, 0xF6, 0xB8, 0xBA, 0x1E, 0xD6}};

std::vector<unsigned char> process_choice_body(const std::vector<GUID>& own) {
    const auto count = static_cast<std::uint32_t>(own.size());
    std::vector<unsigned char> body;
    for (int i = 0; i < 4; ++i) body.push_back(static_cast<unsigned char>(count >> (8 * i)));
    for (const GUID& g : own) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(&g);
        body.insert(body.end(), bytes, bytes + 16);
    }
    return body;
}

std::vector<unsigned char> process_configuration(const std::vector<GUID>& own, bool every_plugin,
                                                 const std::vector<GUID>& moved_after_crash) {
    std::vector<unsigned char> out;
    put_body(out, k_process_choice_record, process_choice_body(own));
    put_body(out, k_every_plugin_record, {static_cast<unsigned char>(every_plugin ? 1 : 0)});
    put_body(out, k_moved_after_crash_record, process_choice_body(moved_after_crash));
    return out;
}

std::map<GUID, std::vector<unsigned char>, guid_less> configuration_records(const std::vector<unsigned char>& saved) {
    std::map<GUID, std::vector<unsigned char>, guid_less> records;
    for (std::size_t at = 0; at + 20 <= saved.size();) {
        GUID id;
        std::memcpy(&id, saved.data() + at, 16);
        std::uint32_t size = 0;
        std::memcpy(&size, saved.data() + at + 16, 4);
        if (at + 20 + size > saved.size()) {
            ADD_FAILURE() << "a record runs past the end of the configuration";
            break;
        }
        records[id].assign(saved.begin() + static_cast<std::ptrdiff_t>(at + 20),
                           saved.begin() + static_cast<std::ptrdiff_t>(at + 20 + size));
        at += 20 + size;
    }
    return records;
}

std::vector<unsigned char> settings_configuration(std::uint64_t output_limit, std::uint64_t declicker_size) {
    std::vector<unsigned char> out;
    put_record(out, k_output_limit, output_limit);
    put_record(out, k_declicker, declicker_size);
    return out;
}

dsp_preset_impl keyed(const GUID& owner, std::uint32_t key) {
    std::vector<unsigned char> data(4);
    std::memcpy(data.data(), &key, 4);
    return dsp_preset_impl(owner, data);
}

dsp_preset_impl with_parameters(const GUID& owner, std::uint32_t key, const std::vector<float>& values) {
    const auto count = static_cast<std::uint32_t>(values.size());
    std::vector<unsigned char> data(8 + 4 * values.size());
    std::memcpy(data.data(), &key, 4);
    std::memcpy(data.data() + 4, &count, 4);
    if (count) std::memcpy(data.data() + 8, values.data(), 4 * values.size());
    return dsp_preset_impl(owner, data);
}

list_record plugin_record(const std::string& name, unsigned unique_id, const std::string& product) {
    list_record r;
    r.module_path = wide_to_utf8(plugin_dll(name));
    r.product_name = product;
    r.identifier = identifier_text(unique_id);
    return r;
}

void ComponentFixture::start(const std::vector<list_record>& plugins, std::vector<unsigned char> configuration,
                             const dsp_chain_config* chain) {
    write_list_file(profile.file(L"vst_entries.bin"), plugins);
    host_options o;
    o.component_path = component_dll();
    o.profile_folder = profile.utf8();
    o.configuration = std::move(configuration);
    host = std::make_unique<component_host>(o);
    if (chain) host->chain().load(*chain);
    host->start();
}

service_ptr_t<dsp_entry_v2> ComponentFixture::effect(const std::string& name) {
    for (auto& e : host->services<dsp_entry>()) {
        string8 n;
        e->get_name(n);
        service_ptr_t<dsp_entry_v2> v2;
        if (n.str() == name && e.query_as(v2)) return v2;
    }
    ADD_FAILURE() << "no DSP named " << name;
    return {};
}

dsp_preset_impl ComponentFixture::default_preset(const std::string& name) {
    dsp_preset_impl p;
    effect(name)->get_default_preset(p);
    return p;
}

GUID plugin_guid(unsigned unique_id) {
    GUID g;
    unsigned words[4] = {unique_id, unique_id, unique_id, unique_id};
    std::memcpy(&g, words, sizeof g);
    return g;
}

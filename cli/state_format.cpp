#include "state_format.h"

#include <cstring>

#include "cli_error.h"

namespace {

const char k_magic[4] = {'V', 'L', 'M', 'S'};
constexpr std::uint32_t k_version = 2;
constexpr std::uint32_t k_first_version = 1;
constexpr std::size_t k_entry_bytes = 16 + 4 + 4 + 4;

std::uint32_t crc32(const unsigned char* bytes, std::size_t size, std::uint32_t crc = 0) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::uint32_t position_crc(const state_position& p) {
    return crc32(p.data.data(), p.data.size(), crc32(p.owner.data(), p.owner.size()));
}

void put32(std::vector<unsigned char>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

class reader {
public:
    reader(const unsigned char* b, std::size_t size) : b_(b), size_(size) {}
    void take(void* out, std::size_t n) {
        if (left() < n) throw cli_error("the profile's saved state is damaged (cut short)");
        if (n) std::memcpy(out, b_ + pos_, n);
        pos_ += n;
    }
    std::uint32_t u32() {
        unsigned char p[4];
        take(p, 4);
        return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    }
    std::vector<unsigned char> blob(std::uint32_t n) {
        if (n > state_max_blob || n > left()) throw cli_error("the profile's saved state is damaged (bad size)");
        std::vector<unsigned char> v(n);
        take(v.data(), n);
        return v;
    }
    std::size_t left() const { return size_ - pos_; }
    const unsigned char* here() const { return b_ + pos_; }

private:
    const unsigned char* b_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

state_record decode_first_version(reader& r) {
    state_record s;
    s.configuration = r.blob(r.u32());
    const std::uint32_t count = r.u32();
    if (count > state_max_chain) throw cli_error("the profile's saved state is damaged (bad chain length)");
    for (std::uint32_t i = 0; i < count; ++i) {
        state_position p;
        r.take(p.owner.data(), p.owner.size());
        p.data = r.blob(r.u32());
        s.chain.push_back(std::move(p));
    }
    if (r.left()) throw cli_error("the profile's saved state is damaged (trailing bytes)");
    return s;
}

std::string position_damage(std::uint32_t index) {
    return "chain position " + std::to_string(index + 1) + "'s settings are damaged and were left out";
}

}  // namespace

std::vector<unsigned char> encode_state_record(const state_record& state) {
    std::vector<unsigned char> out(k_magic, k_magic + 4);
    put32(out, k_version);
    put32(out, static_cast<std::uint32_t>(state.configuration.size()));
    put32(out, crc32(state.configuration.data(), state.configuration.size()));
    out.insert(out.end(), state.configuration.begin(), state.configuration.end());
    put32(out, static_cast<std::uint32_t>(state.chain.size()));
    std::uint32_t offset = 0;
    for (const state_position& p : state.chain) {
        out.insert(out.end(), p.owner.begin(), p.owner.end());
        put32(out, offset);
        put32(out, static_cast<std::uint32_t>(p.data.size()));
        put32(out, position_crc(p));
        offset += static_cast<std::uint32_t>(p.data.size());
    }
    for (const state_position& p : state.chain) out.insert(out.end(), p.data.begin(), p.data.end());
    return out;
}

decoded_state decode_state_record(const unsigned char* bytes, std::size_t size) {
    reader r(bytes, size);
    char magic[4];
    r.take(magic, 4);
    if (std::memcmp(magic, k_magic, 4) != 0) throw cli_error("the profile's saved state is damaged (not a state file)");
    const std::uint32_t version = r.u32();
    decoded_state d;
    if (version == k_first_version) {
        d.state = decode_first_version(r);
        return d;
    }
    if (version != k_version) throw cli_error("the profile's saved state is from another version of the tool");

    const std::uint32_t config_size = r.u32();
    const std::uint32_t config_crc = r.u32();
    std::vector<unsigned char> configuration = r.blob(config_size);
    if (crc32(configuration.data(), configuration.size()) == config_crc)
        d.state.configuration = std::move(configuration);
    else
        d.damage.push_back("the component's settings are damaged; they start from their defaults");

    // The length is believed only as far as the file holds its table.
    const std::uint32_t count = r.u32();
    if (count > state_max_chain || std::uint64_t{count} * k_entry_bytes > r.left())
        throw cli_error("the profile's saved state is damaged (bad chain length)");
    struct table_entry {
        state_position position;
        std::uint32_t offset, size, crc;
    };
    std::vector<table_entry> table(count);
    for (table_entry& e : table) {
        r.take(e.position.owner.data(), e.position.owner.size());
        e.offset = r.u32();
        e.size = r.u32();
        e.crc = r.u32();
    }
    // Each position is found by its own offset and checked by its own CRC:
    // one damaged is one left out.
    const unsigned char* data = r.here();
    const std::size_t data_size = r.left();
    for (std::uint32_t i = 0; i < count; ++i) {
        table_entry& e = table[i];
        const bool in_file = e.size <= state_max_blob && std::uint64_t{e.offset} + e.size <= data_size;
        if (in_file) e.position.data.assign(data + e.offset, data + e.offset + e.size);
        if (!in_file || position_crc(e.position) != e.crc) {
            d.damage.push_back(position_damage(i));
            continue;
        }
        d.state.chain.push_back(std::move(e.position));
    }
    return d;
}

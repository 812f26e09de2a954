#include "state_format.h"

#include <cstring>

#include "cli_error.h"

namespace {

const char k_magic[4] = {'V', 'L', 'M', 'S'};
constexpr std::uint32_t k_version = 1;

void put32(std::vector<unsigned char>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

void put_blob(std::vector<unsigned char>& out, const std::vector<unsigned char>& blob) {
    put32(out, static_cast<std::uint32_t>(blob.size()));
    out.insert(out.end(), blob.begin(), blob.end());
}

class reader {
public:
    reader(const unsigned char* b, std::size_t size) : b_(b), size_(size) {}
    void take(void* out, std::size_t n) {
        if (size_ - pos_ < n) throw cli_error("the profile's saved state is damaged (cut short)");
        if (n) std::memcpy(out, b_ + pos_, n);
        pos_ += n;
    }
    std::uint32_t u32() {
        unsigned char p[4];
        take(p, 4);
        return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    }
    std::vector<unsigned char> blob() {
        std::uint32_t n = u32();
        if (n > state_max_blob || n > size_ - pos_) throw cli_error("the profile's saved state is damaged (bad size)");
        std::vector<unsigned char> v(n);
        take(v.data(), n);
        return v;
    }
    bool at_end() const { return pos_ == size_; }

private:
    const unsigned char* b_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

}  // namespace

std::vector<unsigned char> encode_state_record(const state_record& state) {
    std::vector<unsigned char> out(k_magic, k_magic + 4);
    put32(out, k_version);
    put_blob(out, state.configuration);
    put32(out, static_cast<std::uint32_t>(state.chain.size()));
    for (const state_position& p : state.chain) {
        out.insert(out.end(), p.owner.begin(), p.owner.end());
        put_blob(out, p.data);
    }
    return out;
}

state_record decode_state_record(const unsigned char* bytes, std::size_t size) {
    reader r(bytes, size);
    char magic[4];
    r.take(magic, 4);
    if (std::memcmp(magic, k_magic, 4) != 0) throw cli_error("the profile's saved state is damaged (not a state file)");
    if (r.u32() != k_version) throw cli_error("the profile's saved state is from another version of the tool");
    state_record s;
    s.configuration = r.blob();
    std::uint32_t count = r.u32();
    if (count > state_max_chain) throw cli_error("the profile's saved state is damaged (bad chain length)");
    for (std::uint32_t i = 0; i < count; ++i) {
        state_position p;
        r.take(p.owner.data(), p.owner.size());
        p.data = r.blob();
        s.chain.push_back(std::move(p));
    }
    if (!r.at_end()) throw cli_error("the profile's saved state is damaged (trailing bytes)");
    return s;
}

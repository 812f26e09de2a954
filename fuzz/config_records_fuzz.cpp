// The configuration the host hands the component: any bytes split into
// records that lie inside the input, each wanted one handed over whole and
// within the size bound, in input order. Every body is also read as the set
// of plug-ins chosen to run in a process of their own: refused unless its
// size is exactly its count's, bounded, without repeats, and written back
// as it was read.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "../shell/config_records.h"
#include "../shell/identifier_set_format.h"

namespace {

void check_identifier_set(const unsigned char* body, std::size_t size) {
    std::vector<config_identifier> set;
    const bool read = decode_identifier_set(body, size, set);
    const std::uint32_t count =
        size < 4 ? 0 : body[0] | (body[1] << 8) | (body[2] << 16) | (static_cast<std::uint32_t>(body[3]) << 24);
    const bool exact = size >= 4 && (size - 4) % 16 == 0 && (size - 4) / 16 == count;
    if (read != exact) std::abort();
    if (!read) return;
    if (set.size() > k_max_stored_identifiers || set.size() > count) std::abort();
    std::vector<config_identifier> sorted = set;
    std::sort(sorted.begin(), sorted.end());
    if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end()) std::abort();
    if (set.size() == count) {
        const std::vector<unsigned char> written = encode_identifier_set(set);
        if (written.size() != size || !std::equal(written.begin(), written.end(), body)) std::abort();
    }
}

// Wants identifiers whose first byte is even, and checks each body against
// the input: it must be the bytes right after its identifier and count.
class checking_sink final : public config_record_sink {
public:
    checking_sink(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool wants(const config_identifier& id) override { return (id[0] & 1) == 0; }
    void take(const config_identifier& id, const unsigned char* body, std::size_t size) override {
        if (size > config_max_record_bytes || !wants(id)) std::abort();
        check_identifier_set(body, size);
        // Find this record at or after the last one taken.
        for (std::size_t at = next_; at + 20 + size <= size_; ++at)
            if (std::memcmp(data_ + at, id.data(), 16) == 0 &&
                (data_[at + 16] | (data_[at + 17] << 8) | (data_[at + 18] << 16) |
                 (static_cast<std::uint32_t>(data_[at + 19]) << 24)) == size &&
                (size == 0 || std::memcmp(data_ + at + 20, body, size) == 0)) {
                next_ = at + 20 + size;
                return;
            }
        std::abort();
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t next_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    memory_source in(data, size);
    checking_sink sink(data, size);
    read_config_records(in, sink);
    return 0;
}

// The configuration the host hands the component: any bytes split into
// records that lie inside the input, each wanted one handed over whole and
// within the size bound, in input order.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "../shell/config_records.h"

namespace {

// Wants identifiers whose first byte is even, and checks each body against
// the input: it must be the bytes right after its identifier and count.
class checking_sink final : public config_record_sink {
public:
    checking_sink(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool wants(const config_identifier& id) override { return (id[0] & 1) == 0; }
    void take(const config_identifier& id, const unsigned char* body, std::size_t size) override {
        if (size > config_max_record_bytes || !wants(id)) std::abort();
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

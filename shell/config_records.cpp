#include "config_records.h"

#include <vector>

namespace {

bool skip(byte_source& in, std::uint32_t n) {
    unsigned char scratch[4096];
    while (n > 0) {
        const std::size_t want = n < sizeof scratch ? n : sizeof scratch;
        const std::size_t got = in.read(scratch, want);
        n -= static_cast<std::uint32_t>(got);
        if (got < want) return false;
    }
    return true;
}

bool read_all(byte_source& in, unsigned char* out, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        const std::size_t got = in.read(out + done, n - done);
        if (got == 0) return false;
        done += got;
    }
    return true;
}

}  // namespace

void read_config_records(byte_source& in, config_record_sink& sink) {
    for (;;) {
        config_identifier id;
        if (!read_all(in, id.data(), id.size())) return;
        unsigned char size_bytes[4];
        if (!read_all(in, size_bytes, 4)) return;
        const std::uint32_t size = size_bytes[0] | (size_bytes[1] << 8) | (size_bytes[2] << 16) |
                                   (static_cast<std::uint32_t>(size_bytes[3]) << 24);
        if (!sink.wants(id) || size > config_max_record_bytes) {
            if (!skip(in, size)) return;
            continue;
        }
        std::vector<unsigned char> body(size);
        if (!read_all(in, body.data(), size)) return;
        sink.take(id, body.data(), body.size());
    }
}

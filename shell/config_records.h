#pragma once
// The configuration the host hands the component: records of a 16-byte
// variable identifier, a 32-bit little-endian byte count and that many
// bytes, until fewer than 16 bytes remain. No Windows here: the client
// reads the host's stream through it, and a native harness feeds it
// arbitrary bytes.
#include <array>
#include <cstddef>
#include <cstdint>

#include "../Helpers/byte_source.h"

using config_identifier = std::array<unsigned char, 16>;

// Larger records are not ours to hold in memory; they are skipped.
constexpr std::uint32_t config_max_record_bytes = 1u << 20;

class config_record_sink {
public:
    // Whether a record of this identifier is one of the component's.
    virtual bool wants(const config_identifier& id) = 0;
    // The body of a wanted record, complete.
    virtual void take(const config_identifier& id, const unsigned char* body, std::size_t size) = 0;

protected:
    ~config_record_sink() = default;
};

// Unknown and oversized records are skipped by their count; a record cut
// short ends the reading.
void read_config_records(byte_source& in, config_record_sink& sink);

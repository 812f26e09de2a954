#pragma once
// effSetSpeakerArrangement's two records in a message's payload, as both
// sides write and read them: the input arrangement, then the output one,
// each the record as it is (it holds no pointer and has one layout on both
// targets; each side pins its size against k_arrangement_bytes). A missing
// record travels as zeros.
#include <cstring>

#include "protocol.h"

namespace bridge {

constexpr std::uint32_t k_arrangement_bytes = 904;
constexpr std::uint32_t k_arrangement_payload = 2 * k_arrangement_bytes;
static_assert(k_arrangement_payload <= k_payload_bytes, "both arrangements fit in one message");

inline void put_arrangements(message& m, const void* input, const void* output) {
    std::memset(m.payload, 0, k_arrangement_payload);
    if (input) std::memcpy(m.payload, input, k_arrangement_bytes);
    if (output) std::memcpy(m.payload + k_arrangement_bytes, output, k_arrangement_bytes);
    m.payload_size = k_arrangement_payload;
}

// False for a payload of any other size.
inline bool take_arrangements(const message& m, void* input, void* output) {
    if (m.payload_size != k_arrangement_payload) return false;
    std::memcpy(input, m.payload, k_arrangement_bytes);
    std::memcpy(output, m.payload + k_arrangement_bytes, k_arrangement_bytes);
    return true;
}

}  // namespace bridge

#pragma once
// effSetSpeakerArrangement's two records in a message's payload, as both
// sides write and read them: the input arrangement, then the output one,
// each the record as it is (it holds no pointer and has one layout on both
// targets, aeffect.h). A missing record travels as zeros.
#include <cstring>

#include "../vst/aeffect.h"
#include "protocol.h"

namespace bridge {

constexpr std::uint32_t k_arrangement_payload = 2 * sizeof(VstSpeakerArrangement);
static_assert(k_arrangement_payload <= k_payload_bytes, "both arrangements fit in one message");
static_assert(sizeof(VstSpeakerArrangement) == 904, "the arrangement's layout is pinned (aeffect.h)");

inline void put_arrangements(message& m, const void* input, const void* output) {
    constexpr std::size_t one = sizeof(VstSpeakerArrangement);
    std::memset(m.payload, 0, k_arrangement_payload);
    if (input) std::memcpy(m.payload, input, one);
    if (output) std::memcpy(m.payload + one, output, one);
    m.payload_size = k_arrangement_payload;
}

// False for a payload of any other size.
inline bool take_arrangements(const message& m, VstSpeakerArrangement& input, VstSpeakerArrangement& output) {
    if (m.payload_size != k_arrangement_payload) return false;
    std::memcpy(&input, m.payload, sizeof input);
    std::memcpy(&output, m.payload + sizeof input, sizeof output);
    return true;
}

}  // namespace bridge

#pragma once
// Texts in a message's payload, as both sides write and read them: the
// bytes up to the first NUL, at most `limit` of them with the NUL, and the
// NUL always written.
#include <cstring>

#include "protocol.h"

namespace bridge {

inline void put_text(message& m, const char* text, std::size_t limit = k_payload_bytes) {
    const std::size_t n = ::strnlen(text, limit - 1);
    std::memcpy(m.payload, text, n);
    m.payload[n] = 0;
    m.payload_size = static_cast<std::uint32_t>(n + 1);
}

// The payload as a text, terminated inside the message whatever it holds.
inline const char* payload_text(message& m) {
    const std::size_t n = m.payload_size < k_payload_bytes ? m.payload_size : k_payload_bytes - 1;
    m.payload[n] = 0;
    return reinterpret_cast<const char*>(m.payload);
}

}  // namespace bridge

#pragma once
// The stored form of a set of plug-in identifiers (the slot identifiers of
// the plug-ins the user wants in a process of their own): a 32-bit
// little-endian count, then that many 16-byte identifiers. No Windows here:
// the component reads its configuration record through it, and a native
// harness feeds it arbitrary bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "config_records.h"

// More than any plug-in list a user keeps; what a record holds beyond it is
// dropped.
inline constexpr std::uint32_t k_max_stored_identifiers = 1024;

// The identifiers in `body`, in stored order without repeats. A body whose
// size is not exactly its count's is damaged: false, and `out` is left
// alone. A count above the bound keeps the first k_max_stored_identifiers.
inline bool decode_identifier_set(const unsigned char* body, std::size_t size, std::vector<config_identifier>& out) {
    if (size < 4) return false;
    const std::uint32_t count = body[0] | (body[1] << 8) | (body[2] << 16) | (static_cast<std::uint32_t>(body[3]) << 24);
    if ((size - 4) % 16 != 0 || (size - 4) / 16 != count) return false;
    std::vector<config_identifier> read;
    const std::uint32_t kept = count < k_max_stored_identifiers ? count : k_max_stored_identifiers;
    read.reserve(kept);
    for (std::uint32_t i = 0; i < kept; ++i) {
        config_identifier id;
        std::copy(body + 4 + 16 * static_cast<std::size_t>(i), body + 4 + 16 * static_cast<std::size_t>(i) + 16,
                  id.begin());
        if (std::find(read.begin(), read.end(), id) == read.end()) read.push_back(id);
    }
    out = std::move(read);
    return true;
}

// At most k_max_stored_identifiers of `ids`, in order.
inline std::vector<unsigned char> encode_identifier_set(const std::vector<config_identifier>& ids) {
    const std::uint32_t count = static_cast<std::uint32_t>(
        ids.size() < k_max_stored_identifiers ? ids.size() : k_max_stored_identifiers);
    std::vector<unsigned char> out{static_cast<unsigned char>(count), static_cast<unsigned char>(count >> 8),
                                   static_cast<unsigned char>(count >> 16), static_cast<unsigned char>(count >> 24)};
    for (std::uint32_t i = 0; i < count; ++i) out.insert(out.end(), ids[i].begin(), ids[i].end());
    return out;
}

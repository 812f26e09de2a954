#pragma once
// The bytes of "vst_entries.bin": a 32-bit little-endian count read as a
// signed value, then records of seven UTF-16LE lines, each ended by one line
// feed unit. No Windows here: the product reads a file through it, and a
// native harness feeds it arbitrary bytes.
#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "../Helpers/byte_source.h"

using list_record_units = std::array<std::u16string, 7>;

// A line holds at most this many units; a longer field is split.
constexpr std::size_t list_line_max_units = 259;

// Reads the count and min(count, max_records) records. A source that ends
// early still yields every counted record: the missing lines are empty.
std::vector<list_record_units> decode_list(byte_source& in, std::size_t max_records);

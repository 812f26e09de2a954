// vst_entries.bin: any bytes give at most the bounded number of records of
// seven lines, no line longer than a line may be, and an identifier line of
// any text parses.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "../shell/identifier_parse.h"
#include "../shell/list_format.h"

namespace {
// Small, so that a damaged count costs the fuzzer little time; the bound
// itself is exercised by the product's tests.
constexpr std::size_t k_max_records = 512;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    memory_source in(data, size);
    const auto records = decode_list(in, k_max_records);
    if (records.size() > k_max_records) std::abort();
    if (size >= 4) {
        const std::int32_t count = static_cast<std::int32_t>(data[0] | (data[1] << 8) | (data[2] << 16) |
                                                             (static_cast<std::uint32_t>(data[3]) << 24));
        const std::size_t expected = count <= 0 ? 0 : static_cast<std::size_t>(count) < k_max_records
                                                           ? static_cast<std::size_t>(count)
                                                           : k_max_records;
        if (records.size() != expected) std::abort();
    } else if (!records.empty()) {
        std::abort();
    }
    for (const list_record_units& r : records) {
        for (const std::u16string& line : r)
            if (line.size() > list_line_max_units) std::abort();
        std::string narrow;
        for (char16_t u : r[5]) narrow.push_back(static_cast<char>(u));
        parse_identifier_fields(narrow);
    }
    return 0;
}

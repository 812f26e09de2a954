#include "list_format.h"

#include <cstdint>

namespace {

// Reads one unit at a time from the source through a small buffer.
class unit_reader {
public:
    explicit unit_reader(byte_source& in) : in_(in) {}

    bool next_byte(unsigned char& b) {
        if (pos_ == len_) {
            len_ = in_.read(buf_, sizeof buf_);
            pos_ = 0;
            if (len_ == 0) return false;
        }
        b = buf_[pos_++];
        return true;
    }
    bool next_unit(char16_t& unit) {
        unsigned char lo = 0, hi = 0;
        if (!next_byte(lo) || !next_byte(hi)) return false;
        unit = static_cast<char16_t>(lo | (hi << 8));
        return true;
    }
    // Up to a line feed, the longest line, or the end of the source; the
    // line feed itself is dropped.
    std::u16string line() {
        std::u16string text;
        char16_t unit = 0;
        while (text.size() < list_line_max_units && next_unit(unit)) {
            if (unit == u'\n') return text;
            text.push_back(unit);
        }
        return text;
    }

private:
    byte_source& in_;
    unsigned char buf_[16384];
    std::size_t pos_ = 0;
    std::size_t len_ = 0;
};

}  // namespace

std::vector<list_record_units> decode_list(byte_source& in, std::size_t max_records) {
    std::vector<list_record_units> records;
    unit_reader reader(in);
    // A source shorter than the count field holds no records.
    std::uint32_t raw = 0;
    for (int i = 0; i < 4; ++i) {
        unsigned char b = 0;
        if (!reader.next_byte(b)) return records;
        raw |= static_cast<std::uint32_t>(b) << (8 * i);
    }
    const std::int32_t count = static_cast<std::int32_t>(raw);
    if (count <= 0) return records;
    const std::size_t wanted = static_cast<std::size_t>(count) < max_records ? static_cast<std::size_t>(count)
                                                                            : max_records;
    records.reserve(wanted < 1024 ? wanted : 1024);
    for (std::size_t i = 0; i < wanted; ++i) {
        list_record_units r;
        for (std::u16string& line : r) line = reader.line();
        records.push_back(std::move(r));
    }
    return records;
}

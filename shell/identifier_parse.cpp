#include "identifier_parse.h"

namespace {

unsigned hex_value(char c) {
    if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
    return 0;
}

class group_reader {
public:
    explicit group_reader(const std::string& text) {
        std::size_t begin = !text.empty() && text[0] == '{' ? 1 : 0;
        std::size_t end = text.find('}', begin);
        text_ = text.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
    }
    // Reads `digits` hexadecimal digits; false when the text ends first.
    bool take(std::size_t digits, std::uint32_t& out) {
        if (text_.size() - pos_ < digits) return false;
        out = 0;
        for (std::size_t i = 0; i < digits; ++i) out = (out << 4) | hex_value(text_[pos_++]);
        return true;
    }
    void skip_hyphens() {
        while (pos_ < text_.size() && text_[pos_] == '-') ++pos_;
    }

private:
    std::string text_;
    std::size_t pos_ = 0;
};

}  // namespace

identifier_fields parse_identifier_fields(const std::string& text) {
    identifier_fields id;
    group_reader r(text);
    std::uint32_t v = 0;
    if (!r.take(8, v)) return id;
    id.data1 = v;
    r.skip_hyphens();
    if (!r.take(4, v)) return id;
    id.data2 = static_cast<std::uint16_t>(v);
    r.skip_hyphens();
    if (!r.take(4, v)) return id;
    id.data3 = static_cast<std::uint16_t>(v);
    r.skip_hyphens();
    for (int i = 0; i < 8; ++i) {
        if (!r.take(2, v)) return id;
        id.data4[i] = static_cast<std::uint8_t>(v);
        if (i == 1) r.skip_hyphens();
    }
    return id;
}

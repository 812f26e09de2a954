#include "identifier_text.h"

#include <cstdio>
#include <cstring>

std::string format_identifier(const GUID& id) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                  static_cast<unsigned long>(id.Data1), id.Data2, id.Data3, id.Data4[0], id.Data4[1], id.Data4[2],
                  id.Data4[3], id.Data4[4], id.Data4[5], id.Data4[6], id.Data4[7]);
    return buf;
}

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

GUID parse_identifier(const std::string& text) {
    GUID id{};
    group_reader r(text);
    std::uint32_t v = 0;
    if (!r.take(8, v)) return id;
    id.Data1 = v;
    r.skip_hyphens();
    if (!r.take(4, v)) return id;
    id.Data2 = static_cast<unsigned short>(v);
    r.skip_hyphens();
    if (!r.take(4, v)) return id;
    id.Data3 = static_cast<unsigned short>(v);
    r.skip_hyphens();
    for (int i = 0; i < 8; ++i) {
        if (!r.take(2, v)) return id;
        id.Data4[i] = static_cast<unsigned char>(v);
        if (i == 1) r.skip_hyphens();
    }
    return id;
}

GUID identifier_from_unique_id(std::int32_t unique_id) {
    GUID id;
    unsigned char bytes[16];
    for (int i = 0; i < 4; ++i) std::memcpy(bytes + 4 * i, &unique_id, 4);
    std::memcpy(&id, bytes, sizeof id);
    return id;
}

bool is_plugin_identifier(const GUID& id) {
    std::uint32_t w[4];
    std::memcpy(w, &id, sizeof w);
    return w[0] == w[1] && w[1] == w[2] && w[2] == w[3];
}

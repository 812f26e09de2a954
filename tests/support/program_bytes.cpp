#include "program_bytes.h"

#include <cstring>

void put_be32(std::vector<unsigned char>& b, std::uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<unsigned char>(v >> s));
}

void put_text(std::vector<unsigned char>& b, const char* t) { b.insert(b.end(), t, t + std::strlen(t)); }

std::vector<unsigned char> fxp_header(const char* fx_magic, std::int32_t id, std::int32_t params,
                                      const std::string& name) {
    std::vector<unsigned char> b;
    put_text(b, "CcnK");
    put_be32(b, 0);
    put_text(b, fx_magic);
    put_be32(b, 1);
    put_be32(b, static_cast<std::uint32_t>(id));
    put_be32(b, 1);
    put_be32(b, static_cast<std::uint32_t>(params));
    std::string field = name;
    field.resize(28, '\0');
    b.insert(b.end(), field.begin(), field.end());
    return b;
}

std::vector<unsigned char> fxp_parameters(std::int32_t id, const std::vector<float>& values) {
    std::vector<unsigned char> b = fxp_header("FxCk", id, static_cast<std::int32_t>(values.size()), "Loaded");
    for (float v : values) {
        std::uint32_t bits;
        std::memcpy(&bits, &v, 4);
        put_be32(b, bits);
    }
    return b;
}

#include "identifier_text.h"

#include <cstdio>
#include <cstring>

#include "../host/guid_text.h"
#include "identifier_parse.h"

std::string format_identifier(const GUID& id) { return guid_text(id); }

GUID parse_identifier(const std::string& text) {
    const identifier_fields f = parse_identifier_fields(text);
    GUID id{};
    id.Data1 = f.data1;
    id.Data2 = f.data2;
    id.Data3 = f.data3;
    std::memcpy(id.Data4, f.data4, sizeof id.Data4);
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

#include "list_writer.h"

#include <cstdio>

#include "../../Helpers/utf.h"
#include "test_paths.h"

namespace {
void put_line(std::vector<unsigned char>& out, const std::string& text) {
    std::wstring w = utf8_to_wide(text) + L"\n";
    for (wchar_t c : w) {
        out.push_back(static_cast<unsigned char>(c & 0xFF));
        out.push_back(static_cast<unsigned char>(c >> 8));
    }
}
}  // namespace

void write_list_file(const std::wstring& path, const std::vector<list_record>& records) {
    std::vector<unsigned char> bytes;
    unsigned n = static_cast<unsigned>(records.size());
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<unsigned char>(n >> (8 * i)));
    for (const list_record& r : records) {
        put_line(bytes, r.module_path);
        put_line(bytes, r.product_name);
        put_line(bytes, "n/a");
        put_line(bytes, r.vendor_name);
        put_line(bytes, r.channels);
        put_line(bytes, r.identifier);
        put_line(bytes, r.has_editor ? "config:true" : "config:false");
    }
    write_file_bytes(path, bytes);
}

std::string identifier_text(unsigned id) {
    unsigned char b[4] = {static_cast<unsigned char>(id), static_cast<unsigned char>(id >> 8),
                          static_cast<unsigned char>(id >> 16), static_cast<unsigned char>(id >> 24)};
    char buf[40];
    std::snprintf(buf, sizeof buf, "%08X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", id, b[1], b[0], b[3],
                  b[2], b[0], b[1], b[2], b[3], b[0], b[1], b[2], b[3]);
    return buf;
}

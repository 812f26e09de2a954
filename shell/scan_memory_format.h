#pragma once
// The stored form of the files a folder scan remembers: a 32-bit format
// number (1), a 32-bit count, then per file its path, size, last-write time,
// what it was found to be and, for an effect, the description adding it
// needs. Every number is little-endian; texts are a length (16 bits for the
// path, 8 for the others) and that many UTF-8 bytes. No Windows here: the
// component reads its configuration record through it, and a native harness
// feeds it arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "../vst/scan_kind.h"
#include "config_records.h"

struct stored_scan_file {
    std::string path;  // full path, UTF-8
    std::uint64_t size = 0;
    std::uint64_t last_write = 0;  // FILETIME, 100 ns since 1601
    std::uint8_t kind = 0;         // a remembered scan_kind
    std::uint16_t machine = 0;     // of its PE header, 0 when it has none
    std::uint8_t has_editor = 0;   // effects: 0 or 1
    config_identifier identifier{};
    std::string product_name;
    std::string vendor_name;
    std::string channel_summary;
    std::string detail;  // the diagnosis or what the file is, on one line
};

inline constexpr std::uint32_t k_scan_memory_format = 1;
// Bounds of one file's record; a longer path is not remembered, longer
// texts are cut before they are stored.
inline constexpr std::size_t k_max_stored_scan_path = 1024;
inline constexpr std::size_t k_max_stored_scan_text = 255;
// Bounds of the whole record: the newest files are kept within both.
inline constexpr std::size_t k_max_stored_scan_files = 4096;
inline constexpr std::size_t k_max_stored_scan_bytes = 768 * 1024;

namespace scan_memory_detail {

inline void put(std::vector<unsigned char>& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

inline void put_text(std::vector<unsigned char>& out, const std::string& text, int length_bytes) {
    put(out, text.size(), length_bytes);
    out.insert(out.end(), text.begin(), text.end());
}

class reader {
public:
    reader(const unsigned char* body, std::size_t size) : at_(body), left_(size) {}
    bool number(std::uint64_t& value, int bytes) {
        if (left_ < static_cast<std::size_t>(bytes)) return false;
        value = 0;
        for (int i = 0; i < bytes; ++i) value |= static_cast<std::uint64_t>(at_[i]) << (8 * i);
        at_ += bytes;
        left_ -= static_cast<std::size_t>(bytes);
        return true;
    }
    bool text(std::string& out, int length_bytes, std::size_t limit) {
        std::uint64_t n = 0;
        if (!number(n, length_bytes) || n > limit || n > left_) return false;
        out.assign(reinterpret_cast<const char*>(at_), static_cast<std::size_t>(n));
        at_ += n;
        left_ -= static_cast<std::size_t>(n);
        return true;
    }
    bool bytes(unsigned char* out, std::size_t n) {
        if (left_ < n) return false;
        for (std::size_t i = 0; i < n; ++i) out[i] = at_[i];
        at_ += n;
        left_ -= n;
        return true;
    }
    bool at_end() const { return left_ == 0; }

private:
    const unsigned char* at_;
    std::size_t left_;
};

inline bool fits(const stored_scan_file& f) {
    return !f.path.empty() && f.path.size() <= k_max_stored_scan_path && remembered_kind(f.kind) &&
           f.has_editor <= 1 && f.product_name.size() <= k_max_stored_scan_text &&
           f.vendor_name.size() <= k_max_stored_scan_text && f.channel_summary.size() <= k_max_stored_scan_text &&
           f.detail.size() <= k_max_stored_scan_text;
}

inline void encode_one(std::vector<unsigned char>& out, const stored_scan_file& f) {
    put_text(out, f.path, 2);
    put(out, f.size, 8);
    put(out, f.last_write, 8);
    put(out, f.kind, 1);
    put(out, f.machine, 2);
    put(out, f.has_editor, 1);
    out.insert(out.end(), f.identifier.begin(), f.identifier.end());
    put_text(out, f.product_name, 1);
    put_text(out, f.vendor_name, 1);
    put_text(out, f.channel_summary, 1);
    put_text(out, f.detail, 1);
}

}  // namespace scan_memory_detail

// The files in `body`, in stored order. Anything that is not exactly a
// record of this format (another format number, a count above the bound or
// not matching the files, a path or text out of bounds, an unknown kind, a
// flag other than 0 or 1, bytes left over) is damaged: false, and `out` is
// left alone.
inline bool decode_scan_memory(const unsigned char* body, std::size_t size, std::vector<stored_scan_file>& out) {
    if (size > k_max_stored_scan_bytes) return false;
    scan_memory_detail::reader in(body, size);
    std::uint64_t format = 0, count = 0;
    if (!in.number(format, 4) || format != k_scan_memory_format || !in.number(count, 4) ||
        count > k_max_stored_scan_files)
        return false;
    std::vector<stored_scan_file> read;
    for (std::uint64_t i = 0; i < count; ++i) {
        stored_scan_file f;
        std::uint64_t kind = 0, machine = 0, editor = 0;
        if (!in.text(f.path, 2, k_max_stored_scan_path) || !in.number(f.size, 8) || !in.number(f.last_write, 8) ||
            !in.number(kind, 1) || !in.number(machine, 2) || !in.number(editor, 1) ||
            !in.bytes(f.identifier.data(), f.identifier.size()) ||
            !in.text(f.product_name, 1, k_max_stored_scan_text) || !in.text(f.vendor_name, 1, k_max_stored_scan_text) ||
            !in.text(f.channel_summary, 1, k_max_stored_scan_text) || !in.text(f.detail, 1, k_max_stored_scan_text))
            return false;
        f.kind = static_cast<std::uint8_t>(kind);
        f.machine = static_cast<std::uint16_t>(machine);
        f.has_editor = static_cast<std::uint8_t>(editor);
        if (!scan_memory_detail::fits(f)) return false;
        read.push_back(std::move(f));
    }
    if (!in.at_end()) return false;
    out = std::move(read);
    return true;
}

// The newest of `files` (the last ones) that keep within both bounds, in
// their order; files that do not fit the record's bounds are left out.
inline std::vector<unsigned char> encode_scan_memory(const std::vector<stored_scan_file>& files) {
    std::vector<std::vector<unsigned char>> records;
    std::size_t total = 8;
    for (std::size_t i = files.size(); i-- > 0 && records.size() < k_max_stored_scan_files;) {
        if (!scan_memory_detail::fits(files[i])) continue;
        std::vector<unsigned char> one;
        scan_memory_detail::encode_one(one, files[i]);
        if (total + one.size() > k_max_stored_scan_bytes) break;
        total += one.size();
        records.push_back(std::move(one));
    }
    std::vector<unsigned char> out;
    out.reserve(total);
    scan_memory_detail::put(out, k_scan_memory_format, 4);
    scan_memory_detail::put(out, records.size(), 4);
    for (std::size_t i = records.size(); i-- > 0;) out.insert(out.end(), records[i].begin(), records[i].end());
    return out;
}

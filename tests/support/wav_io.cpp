#include "wav_io.h"

#include <cmath>
#include <cstring>

#include "test_paths.h"

namespace {
void put(std::vector<unsigned char>& b, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}
std::uint32_t get(const std::vector<unsigned char>& b, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= static_cast<std::uint32_t>(b[at + i]) << (8 * i);
    return v;
}
}  // namespace

void write_wav(const std::wstring& path, const wav_data& w) {
    const unsigned bytes = w.bits / 8;
    std::vector<unsigned char> data;
    for (float s : w.samples) {
        if (w.format_tag == 3) {
            std::uint32_t bits;
            std::memcpy(&bits, &s, 4);
            put(data, bits, 4);
        } else {
            double scale = std::ldexp(1.0, static_cast<int>(w.bits) - 1);
            double v = std::round(static_cast<double>(s) * scale);
            if (v > scale - 1) v = scale - 1;
            put(data, static_cast<std::uint32_t>(static_cast<std::int64_t>(v)), static_cast<int>(bytes));
        }
    }
    std::vector<unsigned char> b;
    b.insert(b.end(), {'R', 'I', 'F', 'F'});
    put(b, static_cast<std::uint32_t>(36 + data.size()), 4);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put(b, 16, 4);
    put(b, w.format_tag, 2);
    put(b, w.channels, 2);
    put(b, w.rate, 4);
    put(b, w.rate * w.channels * bytes, 4);
    put(b, w.channels * bytes, 2);
    put(b, w.bits, 2);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    put(b, static_cast<std::uint32_t>(data.size()), 4);
    b.insert(b.end(), data.begin(), data.end());
    write_file_bytes(path, b);
}

wav_data read_wav(const std::wstring& path) {
    wav_data w;
    std::vector<unsigned char> b = read_file_bytes(path);
    if (b.size() < 44 || std::memcmp(b.data(), "RIFF", 4) != 0 || std::memcmp(&b[8], "WAVE", 4) != 0) return w;
    std::size_t at = 12;
    while (at + 8 <= b.size()) {
        std::uint32_t size = get(b, at + 4, 4);
        if (std::memcmp(&b[at], "fmt ", 4) == 0) {
            w.format_tag = get(b, at + 8, 2);
            w.channels = get(b, at + 10, 2);
            w.rate = get(b, at + 12, 4);
            w.bits = get(b, at + 22, 2);
        } else if (std::memcmp(&b[at], "data", 4) == 0 && w.bits) {
            const unsigned bytes = w.bits / 8;
            for (std::size_t p = at + 8; p + bytes <= at + 8 + size && p + bytes <= b.size(); p += bytes) {
                std::uint32_t raw = get(b, p, static_cast<int>(bytes));
                float f;
                if (w.format_tag == 3) {
                    std::memcpy(&f, &raw, 4);
                } else {
                    std::int64_t v = raw;
                    if (raw & (1u << (w.bits - 1))) v -= std::int64_t{1} << w.bits;
                    f = static_cast<float>(static_cast<double>(v) / std::ldexp(1.0, static_cast<int>(w.bits) - 1));
                }
                w.samples.push_back(f);
            }
            return w;
        }
        at += 8 + size + (size & 1);
    }
    return w;
}

// A long stereo float test file, written in large blocks.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "benches.h"

namespace {

void put32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

}  // namespace

int make_wav(const std::wstring& path, unsigned seconds) {
    constexpr std::uint32_t rate = 44100, channels = 2, block = 65536;
    const std::uint64_t frames = std::uint64_t{rate} * seconds;
    const std::uint64_t bytes = frames * channels * 4;
    if (seconds == 0 || bytes > 0xFFFFFFFFull - 36) {
        std::fprintf(stderr, "make-wav: a length from 1 second to about 6 hours\n");
        return 2;
    }
    std::FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f) {
        std::fprintf(stderr, "make-wav: cannot write the file\n");
        return 1;
    }
    unsigned char h[44] = {};
    std::memcpy(h, "RIFF", 4);
    put32(h + 4, static_cast<std::uint32_t>(36 + bytes));
    std::memcpy(h + 8, "WAVEfmt ", 8);
    put32(h + 16, 16);
    h[20] = 3;
    h[22] = channels;
    put32(h + 24, rate);
    put32(h + 28, rate * channels * 4);
    h[32] = channels * 4;
    h[34] = 32;
    std::memcpy(h + 36, "data", 4);
    put32(h + 40, static_cast<std::uint32_t>(bytes));
    bool ok = std::fwrite(h, 1, 44, f) == 44;
    std::vector<float> buf(std::size_t{block} * channels);
    for (std::uint64_t done = 0; ok && done < frames; done += block) {
        const std::size_t n = static_cast<std::size_t>(frames - done < block ? frames - done : block);
        for (std::size_t i = 0; i < n; ++i) {
            const double t = static_cast<double>(done + i) / rate;
            buf[2 * i] = static_cast<float>(0.5 * std::sin(2 * 3.14159265358979 * 440.0 * t));
            buf[2 * i + 1] = static_cast<float>(0.25 * std::sin(2 * 3.14159265358979 * 661.0 * t));
        }
        ok = std::fwrite(buf.data(), sizeof(float) * channels, n, f) == n;
    }
    ok = std::fclose(f) == 0 && ok;
    if (!ok) std::fprintf(stderr, "make-wav: cannot write the file\n");
    return ok ? 0 : 1;
}

#pragma once
// Deterministic mutations of a seed, for the parsers that only run under
// Wine: the same seed and round always give the same bytes, so a failure
// names its input exactly.
#include <cstdint>
#include <vector>

class mutator {
public:
    explicit mutator(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next() {
        std::uint64_t x = (state_ += 0x9E3779B97F4A7C15ull);
        x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
        x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
        return x ^ (x >> 31);
    }
    std::size_t below(std::size_t n) { return n ? static_cast<std::size_t>(next() % n) : 0; }

    // One to four edits: a flipped bit, a boundary byte, a boundary 32-bit
    // value (either byte order), a cut, or bytes added at the end.
    std::vector<unsigned char> mutate(std::vector<unsigned char> b) {
        static const std::uint32_t words[] = {0, 1, 0x7F, 0x80, 0xFF, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu,
                                              0xFFFFFFFEu, 0x10000};
        static const unsigned char bytes[] = {0, 1, 0x7F, 0x80, 0xFF};
        const std::size_t edits = 1 + below(4);
        for (std::size_t e = 0; e < edits; ++e) {
            switch (below(b.empty() ? 1 : 5)) {
                case 0: {
                    std::size_t n = 1 + below(16);
                    for (std::size_t i = 0; i < n; ++i) b.push_back(static_cast<unsigned char>(next()));
                    break;
                }
                case 1: b[below(b.size())] ^= static_cast<unsigned char>(1u << below(8)); break;
                case 2: b[below(b.size())] = bytes[below(sizeof bytes)]; break;
                case 3: {
                    if (b.size() < 4) break;
                    std::size_t at = below(b.size() - 3);
                    std::uint32_t w = words[below(sizeof words / sizeof words[0])];
                    if (below(2)) w = (w >> 24) | ((w >> 8) & 0xFF00) | ((w << 8) & 0xFF0000) | (w << 24);
                    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(w >> (8 * i));
                    break;
                }
                case 4: b.resize(below(b.size())); break;
            }
        }
        return b;
    }

private:
    std::uint64_t state_;
};

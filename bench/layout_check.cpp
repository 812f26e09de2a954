// The fast conversion loops against the plain ones, bit for bit, for every
// channel count and stride up to 9, frame counts around the vector widths,
// planar channels packed and with room between them, and sample bits that
// include NaN payloads, infinities and denormals: into the plug-in they
// arrive as they are, out of it the NaNs and infinities are silenced.
#include <cstdio>
#include <cstring>
#include <vector>

#include "../vst/sample_layout.h"
#include "../vst/sample_layout_wide.h"
#include "benches.h"
#include "plain_layout.h"

namespace {

constexpr std::uint32_t k_frame_counts[] = {0, 1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 23, 31, 33, 63, 64, 65, 1000, 4099};
constexpr std::uint32_t k_guard = 16;  // samples after the end that must stay untouched

std::vector<float> random_bits(std::size_t n, std::uint32_t seed) {
    std::vector<float> v(n);
    std::uint32_t x = seed;
    for (std::size_t i = 0; i < n; ++i) {
        x = x * 1664525u + 1013904223u;
        std::uint32_t bits = x;
        if (i % 7 == 3) bits = 0x7F800001u | (x & 0x803FFFFFu);  // a signalling NaN, payload kept
        std::memcpy(&v[i], &bits, sizeof bits);
    }
    return v;
}

bool same(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// One layout, both directions: the number of differences.
int check_one(std::uint32_t stride, std::uint32_t channels, std::uint32_t frames, std::uint32_t room, bool wide,
              int& cases) {
    int failures = 0;
    ++cases;
    const std::size_t pitch = std::size_t{frames} + room;
    const std::vector<float> interleaved = random_bits(std::size_t{stride} * frames, stride * 131 + frames);
    const std::vector<float> sentinel = random_bits(channels * pitch + k_guard, 99);
    std::vector<float> fast = sentinel, plain = sentinel;
    deinterleave(interleaved.data(), stride, channels, frames, fast.data(), pitch);
    plain_deinterleave(interleaved.data(), stride, channels, frames, plain.data(), pitch);
    const char* loops = wide ? "" : ", narrow loops";
    if (!same(fast, plain)) {
        std::printf("deinterleave differs: stride %u, channels %u, frames %u, pitch %zu%s\n", stride, channels,
                    frames, pitch, loops);
        ++failures;
    }
    if (channels != stride) return failures;
    const std::vector<float> planar = random_bits(channels * pitch, frames * 7 + channels);
    const std::vector<float> out_sentinel = random_bits(std::size_t{channels} * frames + k_guard, 98);
    fast = plain = out_sentinel;
    const std::uint32_t fast_silenced = interleave(planar.data(), pitch, channels, frames, fast.data());
    const std::uint32_t plain_silenced = plain_interleave(planar.data(), pitch, channels, frames, plain.data());
    if (!same(fast, plain) || fast_silenced != plain_silenced) {
        std::printf("interleave differs: channels %u, frames %u, pitch %zu%s\n", channels, frames, pitch, loops);
        ++failures;
    }
    return failures;
}

}  // namespace

int check_layout() {
    int failures = 0, cases = 0;
    // The wide loops where this processor has them, and the narrow ones.
    for (bool wide : {true, false}) {
        wide_layout::allow(wide);
        for (std::uint32_t stride = 1; stride <= 9; ++stride)
            for (std::uint32_t channels = 1; channels <= stride; ++channels)
                for (std::uint32_t frames : k_frame_counts)
                    for (std::uint32_t room : {0u, 13u})
                        failures += check_one(stride, channels, frames, room, wide, cases);
    }
    wide_layout::allow(true);
    std::printf("| Fast path equals plain loop | %d layouts | plain loop | fast path | - | equal | %s |\n", cases,
                failures ? "MISSED" : "met");
    return failures ? 1 : 0;
}

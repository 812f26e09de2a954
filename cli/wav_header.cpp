#include "wav_header.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "cli_error.h"

namespace {

constexpr unsigned k_max_channels = 64;

std::uint32_t le32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t le16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

wav_layout read_wav_header(wav_input& in, const std::string& name) {
    const std::uint64_t file_size = in.size();
    unsigned char riff[12];
    if (in.read(riff, 12) != 12 || std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0)
        throw cli_error(name + " is not a WAV file");

    wav_layout w;
    bool have_format = false;
    unsigned format_tag = 0, bits = 0;
    std::uint64_t data_size = 0;
    for (;;) {
        unsigned char header[8];
        if (in.read(header, 8) != 8) throw cli_error(name + " has no audio data");
        const std::uint32_t size = le32(header + 4);
        if (std::memcmp(header, "fmt ", 4) == 0) {
            if (size < 16 || size > 1024) throw cli_error(name + " has a damaged format header");
            std::vector<unsigned char> fmt(size);
            if (in.read(fmt.data(), size) != size) throw cli_error(name + " is cut short");
            if (size & 1) in.skip(1);
            format_tag = le16(&fmt[0]);
            w.channels = le16(&fmt[2]);
            w.rate = le32(&fmt[4]);
            w.block_align = le16(&fmt[12]);
            bits = le16(&fmt[14]);
            if (format_tag == 0xFFFE && size >= 26) format_tag = le16(&fmt[24]);  // extensible: the sub-format
            have_format = true;
        } else if (std::memcmp(header, "data", 4) == 0) {
            if (!have_format) throw cli_error(name + " has audio data before its format header");
            // A size beyond the end of the file (a recording cut short, or
            // one written as it streamed) is taken as "up to the end".
            const std::uint64_t here = in.position();
            data_size = std::min<std::uint64_t>(size, file_size > here ? file_size - here : 0);
            break;
        } else if (!in.skip(std::uint64_t{size} + (size & 1))) {
            throw cli_error(name + " is cut short");
        }
    }

    if (format_tag == 1 && bits == 16) w.format = sample_format::pcm16;
    else if (format_tag == 1 && bits == 24) w.format = sample_format::pcm24;
    else if (format_tag == 1 && bits == 32) w.format = sample_format::pcm32;
    else if (format_tag == 3 && bits == 32) w.format = sample_format::float32;
    else
        throw cli_error(name + " is in an unsupported WAV format (" +
                        (format_tag == 1 ? "integer PCM" : format_tag == 3 ? "float" : "format " + std::to_string(format_tag)) +
                        ", " + std::to_string(bits) + " bits); supported: 16, 24 and 32-bit integer PCM, 32-bit float");
    if (w.channels == 0 || w.channels > k_max_channels)
        throw cli_error(name + " has " + std::to_string(w.channels) + " channels; supported: 1 to " +
                        std::to_string(k_max_channels));
    if (w.rate == 0) throw cli_error(name + " has a sample rate of 0");
    w.bytes_per_sample = bits / 8;
    if (w.block_align != w.channels * w.bytes_per_sample) throw cli_error(name + " has a damaged format header");
    if (w.rate > max_wav_rate(w.block_align))
        throw cli_error(name + " has a sample rate of " + std::to_string(w.rate) +
                        " Hz, more than its header can describe (at most " + std::to_string(max_wav_rate(w.block_align)) +
                        " Hz for " + std::to_string(w.channels) + " channels of " + std::to_string(bits) + " bits)");
    w.frames = data_size / w.block_align;
    return w;
}

void decode_samples(const unsigned char* p, std::size_t samples, sample_format format, float* o) {
    for (std::size_t i = 0; i < samples; ++i) {
        switch (format) {
            case sample_format::pcm16:
                o[i] = static_cast<std::int16_t>(le16(p)) / 32768.0f;
                p += 2;
                break;
            case sample_format::pcm24: {
                std::int32_t v =
                    static_cast<std::int32_t>((p[0] << 8) | (p[1] << 16) | (static_cast<std::uint32_t>(p[2]) << 24)) >> 8;
                o[i] = static_cast<float>(v / 8388608.0);
                p += 3;
                break;
            }
            case sample_format::pcm32:
                o[i] = static_cast<float>(static_cast<std::int32_t>(le32(p)) / 2147483648.0);
                p += 4;
                break;
            case sample_format::float32: {
                std::uint32_t bits = le32(p);
                std::memcpy(&o[i], &bits, 4);
                p += 4;
                break;
            }
        }
    }
}

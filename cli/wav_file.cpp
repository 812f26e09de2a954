#include "wav_file.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "../Helpers/utf.h"
#include "cli_error.h"

namespace {

constexpr std::size_t k_read_block = 4096;  // frames
constexpr unsigned k_max_channels = 64;

std::uint32_t le32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t le16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

void put32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

std::string file_label(const std::wstring& path) { return wide_to_utf8(path); }

}  // namespace

std::string format_name(sample_format f) {
    switch (f) {
        case sample_format::pcm16: return "16-bit PCM";
        case sample_format::pcm24: return "24-bit PCM";
        case sample_format::pcm32: return "32-bit PCM";
        case sample_format::float32: return "32-bit float";
    }
    return "?";
}

wav_reader::wav_reader(const std::wstring& path) : name_(file_label(path)) {
    file_ = _wfopen(path.c_str(), L"rb");
    if (!file_) throw cli_error("cannot open the input file " + name_);
    std::fseek(file_, 0, SEEK_END);
    const std::uint64_t file_size = static_cast<std::uint64_t>(_ftelli64(file_));
    std::fseek(file_, 0, SEEK_SET);

    unsigned char riff[12];
    if (std::fread(riff, 1, 12, file_) != 12 || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0)
        throw cli_error(name_ + " is not a WAV file");

    bool have_format = false;
    unsigned format_tag = 0, bits = 0, block_align = 0;
    std::uint64_t data_size = 0;
    for (;;) {
        unsigned char header[8];
        if (std::fread(header, 1, 8, file_) != 8) throw cli_error(name_ + " has no audio data");
        const std::uint32_t size = le32(header + 4);
        if (std::memcmp(header, "fmt ", 4) == 0) {
            if (size < 16 || size > 1024) throw cli_error(name_ + " has a damaged format header");
            std::vector<unsigned char> fmt(size);
            if (std::fread(fmt.data(), 1, size, file_) != size) throw cli_error(name_ + " is cut short");
            if (size & 1) std::fgetc(file_);
            format_tag = le16(&fmt[0]);
            channels_ = le16(&fmt[2]);
            rate_ = le32(&fmt[4]);
            block_align = le16(&fmt[12]);
            bits = le16(&fmt[14]);
            if (format_tag == 0xFFFE && size >= 26) format_tag = le16(&fmt[24]);  // extensible: the sub-format
            have_format = true;
        } else if (std::memcmp(header, "data", 4) == 0) {
            if (!have_format) throw cli_error(name_ + " has audio data before its format header");
            // A size beyond the end of the file (a recording cut short, or
            // one written as it streamed) is taken as "up to the end".
            const std::uint64_t here = static_cast<std::uint64_t>(_ftelli64(file_));
            data_size = std::min<std::uint64_t>(size, file_size - here);
            break;
        } else if (_fseeki64(file_, static_cast<long long>(size) + (size & 1), SEEK_CUR) != 0) {
            throw cli_error(name_ + " is cut short");
        }
    }

    if (format_tag == 1 && bits == 16) format_ = sample_format::pcm16;
    else if (format_tag == 1 && bits == 24) format_ = sample_format::pcm24;
    else if (format_tag == 1 && bits == 32) format_ = sample_format::pcm32;
    else if (format_tag == 3 && bits == 32) format_ = sample_format::float32;
    else
        throw cli_error(name_ + " is in an unsupported WAV format (" +
                        (format_tag == 1 ? "integer PCM" : format_tag == 3 ? "float" : "format " + std::to_string(format_tag)) +
                        ", " + std::to_string(bits) + " bits); supported: 16, 24 and 32-bit integer PCM, 32-bit float");
    if (channels_ == 0 || channels_ > k_max_channels)
        throw cli_error(name_ + " has " + std::to_string(channels_) + " channels; supported: 1 to " +
                        std::to_string(k_max_channels));
    if (rate_ == 0) throw cli_error(name_ + " has a sample rate of 0");
    bytes_per_sample_ = bits / 8;
    if (block_align != channels_ * bytes_per_sample_) throw cli_error(name_ + " has a damaged format header");
    frames_ = frames_left_ = data_size / block_align;
    buffer_frames_ = k_read_block;
    buffer_ = std::make_unique<unsigned char[]>(buffer_frames_ * block_align);
}

wav_reader::~wav_reader() {
    if (file_) std::fclose(file_);
}

std::size_t wav_reader::read(float* out, std::size_t count) {
    std::size_t done = 0;
    const std::size_t frame_bytes = std::size_t{channels_} * bytes_per_sample_;
    while (done < count && frames_left_ > 0) {
        std::size_t want = std::min<std::uint64_t>({count - done, buffer_frames_, frames_left_});
        // On our little-endian targets a float file's bytes are the samples
        // themselves: they are read straight into place.
        const bool in_place = format_ == sample_format::float32;
        float* o = out + done * channels_;
        std::size_t got = std::fread(in_place ? static_cast<void*>(o) : buffer_.get(), frame_bytes, want, file_);
        if (got == 0) break;
        const unsigned char* p = buffer_.get();
        for (std::size_t i = 0; !in_place && i < got * channels_; ++i, p += bytes_per_sample_) {
            switch (format_) {
                case sample_format::pcm16: o[i] = static_cast<std::int16_t>(le16(p)) / 32768.0f; break;
                case sample_format::pcm24: {
                    std::int32_t v = static_cast<std::int32_t>((p[0] << 8) | (p[1] << 16) | (static_cast<std::uint32_t>(p[2]) << 24)) >> 8;
                    o[i] = static_cast<float>(v / 8388608.0);
                    break;
                }
                case sample_format::pcm32: o[i] = static_cast<float>(static_cast<std::int32_t>(le32(p)) / 2147483648.0); break;
                case sample_format::float32: {
                    std::uint32_t bits = le32(p);
                    std::memcpy(&o[i], &bits, 4);
                    break;
                }
            }
        }
        done += got;
        frames_left_ -= got;
        if (got < want) break;
    }
    return done;
}

wav_writer::wav_writer(const std::wstring& path, unsigned channels, unsigned rate, sample_format format)
    : name_(file_label(path)), channels_(channels), format_(format) {
    file_ = _wfopen(path.c_str(), L"wb");
    if (!file_) throw cli_error("cannot write the output file " + name_);
    const unsigned bytes = format == sample_format::pcm16 ? 2 : format == sample_format::pcm24 ? 3 : 4;
    unsigned char h[44] = {};
    std::memcpy(h, "RIFF", 4);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    put32(h + 16, 16);
    h[20] = format == sample_format::float32 ? 3 : 1;
    h[22] = static_cast<unsigned char>(channels);
    h[23] = static_cast<unsigned char>(channels >> 8);
    put32(h + 24, rate);
    put32(h + 28, rate * channels * bytes);
    h[32] = static_cast<unsigned char>(channels * bytes);
    h[33] = static_cast<unsigned char>((channels * bytes) >> 8);
    h[34] = static_cast<unsigned char>(bytes * 8);
    std::memcpy(h + 36, "data", 4);
    if (std::fwrite(h, 1, 44, file_) != 44) throw cli_error("cannot write the output file " + name_);
}

wav_writer::~wav_writer() {
    if (file_) std::fclose(file_);
}

void wav_writer::write(const float* in, std::size_t frames) {
    std::vector<unsigned char>& bytes = buffer_;
    bytes.clear();
    if (format_ == sample_format::float32) {
        // Little-endian targets: the samples' bytes are the file's.
        const auto* b = reinterpret_cast<const unsigned char*>(in);
        bytes.assign(b, b + frames * channels_ * sizeof(float));
    }
    for (std::size_t i = 0; format_ != sample_format::float32 && i < frames * channels_; ++i) {
        float v = in[i];
        double c = std::max(-1.0, std::min(1.0, static_cast<double>(v)));
        if (format_ == sample_format::pcm16) {
            auto s = static_cast<std::int32_t>(std::lround(c * 32767.0));
            bytes.push_back(static_cast<unsigned char>(s));
            bytes.push_back(static_cast<unsigned char>(s >> 8));
        } else if (format_ == sample_format::pcm24) {
            auto s = static_cast<std::int32_t>(std::lround(c * 8388607.0));
            for (int k = 0; k < 3; ++k) bytes.push_back(static_cast<unsigned char>(s >> (8 * k)));
        } else {
            auto s = static_cast<std::int32_t>(std::llround(c * 2147483647.0));
            for (int k = 0; k < 4; ++k) bytes.push_back(static_cast<unsigned char>(s >> (8 * k)));
        }
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
        throw cli_error("cannot write the output file " + name_ + " (disk full?)");
    data_bytes_ += bytes.size();
}

void wav_writer::finish() {
    if (data_bytes_ > 0xFFFFFFFFull - 36) throw cli_error(name_ + " would be larger than a WAV file can be");
    // RIFF chunks are padded to an even size.
    const std::uint64_t pad = data_bytes_ & 1;
    if (pad && std::fputc(0, file_) == EOF) throw cli_error("cannot write the output file " + name_);
    unsigned char size[4];
    put32(size, static_cast<std::uint32_t>(36 + data_bytes_ + pad));
    bool ok = std::fseek(file_, 4, SEEK_SET) == 0 && std::fwrite(size, 1, 4, file_) == 4;
    put32(size, static_cast<std::uint32_t>(data_bytes_));
    ok = ok && std::fseek(file_, 40, SEEK_SET) == 0 && std::fwrite(size, 1, 4, file_) == 4;
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    if (!ok) throw cli_error("cannot write the output file " + name_);
}

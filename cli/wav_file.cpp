#include "wav_file.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "../Helpers/utf.h"
#include "cli_error.h"

namespace {

constexpr std::size_t k_read_block = 4096;  // frames
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

namespace {

class file_input final : public wav_input {
public:
    explicit file_input(std::FILE* f) : f_(f) {
        std::fseek(f_, 0, SEEK_END);
        size_ = static_cast<std::uint64_t>(_ftelli64(f_));
        std::fseek(f_, 0, SEEK_SET);
    }
    std::size_t read(unsigned char* out, std::size_t n) override { return std::fread(out, 1, n, f_); }
    bool skip(std::uint64_t n) override { return _fseeki64(f_, static_cast<long long>(n), SEEK_CUR) == 0; }
    std::uint64_t position() override { return static_cast<std::uint64_t>(_ftelli64(f_)); }
    std::uint64_t size() override { return size_; }

private:
    std::FILE* f_;
    std::uint64_t size_ = 0;
};

}  // namespace

wav_reader::wav_reader(const std::wstring& path) : name_(file_label(path)) {
    file_ = _wfopen(path.c_str(), L"rb");
    if (!file_) throw cli_error("cannot open the input file " + name_);
    file_input input(file_);
    const wav_layout w = read_wav_header(input, name_);
    channels_ = w.channels;
    rate_ = w.rate;
    format_ = w.format;
    bytes_per_sample_ = w.bytes_per_sample;
    frames_ = frames_left_ = w.frames;
    buffer_frames_ = k_read_block;
    buffer_ = std::make_unique<unsigned char[]>(buffer_frames_ * w.block_align);
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
        if (!in_place) decode_samples(buffer_.get(), got * channels_, format_, o);
        done += got;
        frames_left_ -= got;
        if (got < want) break;
    }
    return done;
}

namespace {

std::FILE* open_for_writing(const std::wstring& path) {
    std::FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f) throw cli_error("cannot write the output file " + wide_to_utf8(path));
    return f;
}

}  // namespace

wav_writer::wav_writer(const std::wstring& path, unsigned channels, unsigned rate, sample_format format)
    : wav_writer(open_for_writing(path), path, channels, rate, format) {}

wav_writer::wav_writer(std::FILE* file, const std::wstring& path, unsigned channels, unsigned rate,
                       sample_format format)
    : file_(file), name_(file_label(path)), channels_(channels), format_(format) {
    const unsigned bytes = format == sample_format::pcm16 ? 2 : format == sample_format::pcm24 ? 3 : 4;
    const unsigned frame_bytes = channels * bytes;
    try {
        if (channels == 0 || frame_bytes > 0xFFFF)
            throw cli_error("cannot write " + std::to_string(channels) + " channels into a WAV file");
        if (rate == 0 || rate > max_wav_rate(frame_bytes))
            throw cli_error("cannot write a sample rate of " + std::to_string(rate) + " Hz with " +
                            std::to_string(channels) + " channels of " + format_name(format) +
                            " into a WAV file (at most " + std::to_string(max_wav_rate(frame_bytes)) + " Hz)");
        unsigned char h[44] = {};
        std::memcpy(h, "RIFF", 4);
        std::memcpy(h + 8, "WAVEfmt ", 8);
        put32(h + 16, 16);
        h[20] = format == sample_format::float32 ? 3 : 1;
        h[22] = static_cast<unsigned char>(channels);
        h[23] = static_cast<unsigned char>(channels >> 8);
        put32(h + 24, rate);
        put32(h + 28, rate * frame_bytes);
        h[32] = static_cast<unsigned char>(frame_bytes);
        h[33] = static_cast<unsigned char>(frame_bytes >> 8);
        h[34] = static_cast<unsigned char>(bytes * 8);
        std::memcpy(h + 36, "data", 4);
        if (std::fwrite(h, 1, 44, file_) != 44) throw cli_error("cannot write the output file " + name_);
    } catch (...) {
        std::fclose(file_);
        file_ = nullptr;
        throw;
    }
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
        const float v = in[i];
        // NaN is silence and an infinity full scale: neither has an integer
        // of its own, and a comparison with NaN would clip it to full scale.
        const double c = std::isnan(v) ? 0.0 : std::max(-1.0, std::min(1.0, static_cast<double>(v)));
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

// WAV input: any bytes are either refused with the tool's error or give a
// layout whose samples decode from the bytes that follow, within bounds.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "../cli/cli_error.h"
#include "../cli/wav_header.h"

namespace {

class memory_input final : public wav_input {
public:
    memory_input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::size_t read(unsigned char* out, std::size_t n) override {
        const std::uint64_t left = pos_ < size_ ? size_ - pos_ : 0;
        const std::size_t k = n < left ? n : static_cast<std::size_t>(left);
        if (k) std::memcpy(out, data_ + pos_, k);
        pos_ += k;
        return k;
    }
    // Like a file: moving past the end works, and reads there find nothing.
    bool skip(std::uint64_t n) override {
        pos_ += n;
        return true;
    }
    std::uint64_t position() override { return pos_; }
    std::uint64_t size() override { return size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::uint64_t pos_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    memory_input in(data, size);
    wav_layout w;
    try {
        w = read_wav_header(in, "input.wav");
    } catch (const cli_error&) {
        return 0;
    }
    if (w.channels == 0 || w.channels > 64 || w.rate == 0 || w.rate > max_wav_rate(w.block_align)) std::abort();
    if (w.block_align != w.channels * w.bytes_per_sample) std::abort();
    if (w.frames * w.block_align > size) std::abort();
    std::vector<unsigned char> bytes(w.frames * w.block_align);
    const std::size_t got = in.read(bytes.data(), bytes.size());
    const std::size_t frames = got / w.block_align;
    std::vector<float> samples(frames * w.channels);
    decode_samples(bytes.data(), samples.size(), w.format, samples.data());
    return 0;
}

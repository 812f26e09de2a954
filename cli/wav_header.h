#pragma once
// The byte-level side of WAV input: the RIFF chunks up to the audio data,
// and sample bytes to floats. No Windows here: the tool reads a file
// through it, and a native harness feeds it arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string>

enum class sample_format { pcm16, pcm24, pcm32, float32 };

// The highest sample rate a WAV header can describe for frames of
// `frame_bytes` bytes: its byte-rate field has 32 bits.
inline std::uint32_t max_wav_rate(unsigned frame_bytes) {
    return frame_bytes ? static_cast<std::uint32_t>(0xFFFFFFFFu / frame_bytes) : 0;
}

class wav_input {
public:
    virtual std::size_t read(unsigned char* out, std::size_t n) = 0;
    // Moves `n` bytes ahead; false past the end.
    virtual bool skip(std::uint64_t n) = 0;
    virtual std::uint64_t position() = 0;
    virtual std::uint64_t size() = 0;

protected:
    ~wav_input() = default;
};

struct wav_layout {
    unsigned channels = 0;
    unsigned rate = 0;
    sample_format format = sample_format::pcm16;
    unsigned bytes_per_sample = 2;
    unsigned block_align = 0;
    std::uint64_t frames = 0;
};

// Reads up to the start of the audio data, which the input is then at.
// Throws cli_error, naming the file as `name`, for anything the tool cannot
// read or a header cannot describe.
wav_layout read_wav_header(wav_input& in, const std::string& name);

// `samples` samples of `format`, little-endian, to floats.
void decode_samples(const unsigned char* bytes, std::size_t samples, sample_format format, float* out);

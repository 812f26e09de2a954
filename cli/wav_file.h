#pragma once
// WAV files: 16, 24 and 32-bit integer PCM and 32-bit float, any channel
// count and sample rate. Every problem is a cli_error naming the file.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "wav_header.h"

std::string format_name(sample_format f);

class wav_reader {
public:
    explicit wav_reader(const std::wstring& path);
    ~wav_reader();
    wav_reader(const wav_reader&) = delete;
    wav_reader& operator=(const wav_reader&) = delete;

    unsigned channels() const { return channels_; }
    unsigned sample_rate() const { return rate_; }
    sample_format format() const { return format_; }
    std::uint64_t frames() const { return frames_; }
    // Reads up to `count` frames as interleaved floats; answers how many.
    std::size_t read(float* out, std::size_t count);

private:
    std::FILE* file_ = nullptr;
    std::string name_;
    unsigned channels_ = 0;
    unsigned rate_ = 0;
    sample_format format_ = sample_format::pcm16;
    unsigned bytes_per_sample_ = 2;
    std::uint64_t frames_ = 0;
    std::uint64_t frames_left_ = 0;
    std::unique_ptr<unsigned char[]> buffer_;
    std::size_t buffer_frames_ = 0;
};

class wav_writer {
public:
    wav_writer(const std::wstring& path, unsigned channels, unsigned rate, sample_format format);
    // Takes over `file`, already open for binary writing; closes it on failure.
    wav_writer(std::FILE* file, const std::wstring& path, unsigned channels, unsigned rate, sample_format format);
    ~wav_writer();
    wav_writer(const wav_writer&) = delete;
    wav_writer& operator=(const wav_writer&) = delete;

    void write(const float* interleaved, std::size_t frames);
    // Writes the sizes into the header and closes the file.
    void finish();
    unsigned channels() const { return channels_; }

private:
    std::FILE* file_ = nullptr;
    std::string name_;
    unsigned channels_;
    sample_format format_;
    std::uint64_t data_bytes_ = 0;
    std::vector<unsigned char> buffer_;  // reused from one write to the next
};

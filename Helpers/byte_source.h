#pragma once
// Bytes read in order from somewhere: a file in the product, a buffer in the
// tests and the fuzzing harnesses. The parsers of outside bytes read through
// it, so that their byte-level work needs nothing of Windows.
#include <cstddef>
#include <cstdint>
#include <cstring>

class byte_source {
public:
    // Copies up to `n` bytes into `out`; answers how many (0 at the end).
    virtual std::size_t read(unsigned char* out, std::size_t n) = 0;

protected:
    ~byte_source() = default;
};

class memory_source final : public byte_source {
public:
    memory_source(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}
    std::size_t read(unsigned char* out, std::size_t n) override {
        std::size_t k = n < size_ - pos_ ? n : size_ - pos_;
        if (k) std::memcpy(out, data_ + pos_, k);
        pos_ += k;
        return k;
    }

private:
    const unsigned char* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

#pragma once
// Byte streams the host uses to hand configuration data back and forth.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "abort.h"
#include "exceptions.h"

class stream_reader {
public:
    // Reads up to `bytes`; fewer only at the end of the stream.
    virtual std::size_t read(void* buffer, std::size_t bytes, abort_callback& abort) = 0;

    void read_object(void* buffer, std::size_t bytes, abort_callback& abort) {
        if (read(buffer, bytes, abort) != bytes) throw exception_io_data_truncation();
    }
    // Skips up to `bytes`; answers how many were there.
    std::uint64_t skip(std::uint64_t bytes, abort_callback& abort) {
        char scratch[4096];
        std::uint64_t done = 0;
        while (done < bytes) {
            std::size_t want = static_cast<std::size_t>(
                bytes - done < sizeof scratch ? bytes - done : sizeof scratch);
            std::size_t got = read(scratch, want, abort);
            done += got;
            if (got < want) break;
        }
        return done;
    }

protected:
    ~stream_reader() = default;
};

class stream_writer {
public:
    virtual void write(const void* buffer, std::size_t bytes, abort_callback& abort) = 0;

    template <class T>
    void write_lendian(T value, abort_callback& abort) {
        unsigned char bytes[sizeof(T)];
        for (std::size_t i = 0; i < sizeof(T); ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
        write(bytes, sizeof bytes, abort);
    }

protected:
    ~stream_writer() = default;
};

// Reads from a block of memory it does not own.
class stream_reader_memblock final : public stream_reader {
public:
    stream_reader_memblock(const void* data, std::size_t size)
        : data_(static_cast<const unsigned char*>(data)), size_(size) {}
    std::size_t read(void* buffer, std::size_t bytes, abort_callback& abort) override {
        abort.check();
        std::size_t n = bytes < size_ - pos_ ? bytes : size_ - pos_;
        if (n) std::memcpy(buffer, data_ + pos_, n);
        pos_ += n;
        return n;
    }
    std::size_t remaining() const { return size_ - pos_; }

private:
    const unsigned char* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// A growable byte buffer.
class stream_writer_buffer_simple final : public stream_writer {
public:
    void write(const void* buffer, std::size_t bytes, abort_callback& abort) override {
        abort.check();
        const auto* p = static_cast<const unsigned char*>(buffer);
        data.insert(data.end(), p, p + bytes);
    }
    std::vector<unsigned char> data;
};

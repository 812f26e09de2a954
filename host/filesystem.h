#pragma once
// The host's file access. Every failure is raised as an exception_io.
#include <cstddef>
#include <cstdint>

#include "abort.h"
#include "service.h"
#include "streams.h"

struct file_stats {
    std::uint64_t size = 0;
    std::uint64_t timestamp = 0;
};

class file : public service_base {
public:
    using service_class = file;
    static constexpr GUID class_guid = {0xE0055504, 0x39EF, 0x49E9, {0xBE, 0x8B, 0xA3, 0x0B, 0x6F, 0xEE, 0x60, 0xC5}};
    virtual std::size_t read(void* buffer, std::size_t bytes, abort_callback& abort) = 0;
    virtual void write(const void* buffer, std::size_t bytes, abort_callback& abort) = 0;
    virtual std::uint64_t size(abort_callback& abort) = 0;
    virtual std::uint64_t position(abort_callback& abort) = 0;

    void read_object(void* buffer, std::size_t bytes, abort_callback& abort) {
        if (read(buffer, bytes, abort) != bytes) throw exception_io_data_truncation();
    }
};

class filesystem : public service_base {
public:
    using service_class = filesystem;
    static constexpr GUID class_guid = {0x2FBCE1E5, 0x902E, 0x49E0, {0xB9, 0xCF, 0xCE, 0x0F, 0xBA, 0x76, 0x53, 0x48}};
    enum open_mode { open_mode_read = 0, open_mode_write_existing = 1, open_mode_write_new = 2 };

    virtual file_stats get_stats(const char* path, abort_callback& abort) = 0;
    virtual service_ptr_t<file> open(const char* path, open_mode mode, abort_callback& abort) = 0;
};

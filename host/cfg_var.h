#pragma once
// Configuration variables a component keeps in the host's configuration
// store. Each links itself into its module's reader and writer lists.
#include <windows.h>

#include <atomic>
#include <cstdint>

#include "abort.h"
#include "streams.h"

class cfg_var_reader {
public:
    explicit cfg_var_reader(const GUID& guid) : guid(guid), next(head) { head = this; }
    // Takes the variable's stored form, `size` bytes long, from the stream.
    virtual void read_raw(stream_reader& in, std::size_t size, abort_callback& abort) = 0;

    const GUID guid;
    cfg_var_reader* const next;
    static inline cfg_var_reader* head = nullptr;

protected:
    ~cfg_var_reader() = default;
};

class cfg_var_writer {
public:
    explicit cfg_var_writer(const GUID& guid) : guid(guid), next(head) { head = this; }
    virtual void write_raw(stream_writer& out, abort_callback& abort) = 0;

    const GUID guid;
    cfg_var_writer* const next;
    static inline cfg_var_writer* head = nullptr;

protected:
    ~cfg_var_writer() = default;
};

class cfg_var : public cfg_var_reader, public cfg_var_writer {
protected:
    explicit cfg_var(const GUID& guid) : cfg_var_reader(guid), cfg_var_writer(guid) {}
    ~cfg_var() = default;
};

// An integer stored as sizeof(T) little-endian bytes.
template <class T>
class cfg_int_t final : public cfg_var {
public:
    cfg_int_t(const GUID& guid, T initial) : cfg_var(guid), value_(initial) {}
    T get() const { return value_; }
    void set(T value) { value_ = value; }

    void read_raw(stream_reader& in, std::size_t, abort_callback& abort) override {
        unsigned char bytes[sizeof(T)];
        in.read_object(bytes, sizeof bytes, abort);
        T v = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i) v |= static_cast<T>(bytes[i]) << (8 * i);
        value_ = v;
    }
    void write_raw(stream_writer& out, abort_callback& abort) override { out.write_lendian<T>(value_, abort); }

private:
    T value_;
};

// A flag stored as one byte, 1 or 0. Any thread may read it while the main
// thread changes it.
class cfg_bool final : public cfg_var {
public:
    cfg_bool(const GUID& guid, bool initial) : cfg_var(guid), value_(initial) {}
    bool get() const { return value_.load(std::memory_order_relaxed); }
    void set(bool value) { value_.store(value, std::memory_order_relaxed); }

    // Only a record of exactly one byte that holds 0 or 1 is believed.
    void read_raw(stream_reader& in, std::size_t size, abort_callback& abort) override {
        if (size != 1) return;
        unsigned char byte = 0;
        in.read_object(&byte, 1, abort);
        if (byte <= 1) set(byte == 1);
    }
    void write_raw(stream_writer& out, abort_callback& abort) override {
        const unsigned char byte = get() ? 1 : 0;
        out.write(&byte, 1, abort);
    }

private:
    std::atomic<bool> value_;
};

#pragma once
// A DSP's stored settings: the owning DSP's GUID and a block of bytes.
#include <windows.h>

#include <cstddef>
#include <cstring>
#include <vector>

class dsp_preset {
public:
    virtual GUID get_owner() const = 0;
    virtual void set_owner(const GUID& owner) = 0;
    virtual const void* get_data() const = 0;
    virtual std::size_t get_data_size() const = 0;
    virtual void set_data(const void* data, std::size_t size) = 0;

    void assign(const dsp_preset& other) {
        set_owner(other.get_owner());
        set_data(other.get_data(), other.get_data_size());
    }
    // Same owner, same size, same bytes.
    bool equals(const dsp_preset& other) const {
        return get_owner() == other.get_owner() && get_data_size() == other.get_data_size() &&
               (get_data_size() == 0 || std::memcmp(get_data(), other.get_data(), get_data_size()) == 0);
    }

protected:
    ~dsp_preset() = default;
};

class dsp_preset_impl final : public dsp_preset {
public:
    dsp_preset_impl() = default;
    dsp_preset_impl(const dsp_preset_impl& other) : owner_(other.owner_), data_(other.data_) {}
    explicit dsp_preset_impl(const dsp_preset& other) { assign(other); }
    dsp_preset_impl& operator=(const dsp_preset_impl& other) {
        owner_ = other.owner_;
        data_ = other.data_;
        return *this;
    }
    dsp_preset_impl(const GUID& owner, std::vector<unsigned char> data) : owner_(owner), data_(std::move(data)) {}

    GUID get_owner() const override { return owner_; }
    void set_owner(const GUID& owner) override { owner_ = owner; }
    const void* get_data() const override { return data_.data(); }
    std::size_t get_data_size() const override { return data_.size(); }
    void set_data(const void* data, std::size_t size) override {
        const auto* p = static_cast<const unsigned char*>(data);
        data_.assign(p, p + (p ? size : 0));
    }
    const std::vector<unsigned char>& bytes() const { return data_; }
    bool operator==(const dsp_preset_impl& other) const { return equals(other); }

private:
    GUID owner_{};
    std::vector<unsigned char> data_;
};

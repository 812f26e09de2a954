#pragma once
// Text receiver passed across the component boundary. Each side fills it
// through virtual calls, so memory stays with the object's own module.
#include <cstddef>
#include <string>

class string_base {
public:
    virtual const char* get_ptr() const = 0;
    virtual std::size_t length() const = 0;
    // len == npos: up to the first NUL.
    virtual void set_string(const char* text, std::size_t len = npos) = 0;
    virtual void add_string(const char* text, std::size_t len = npos) = 0;

    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

protected:
    ~string_base() = default;
};

class string8 final : public string_base {
public:
    string8() = default;
    explicit string8(std::string s) : s_(std::move(s)) {}
    const char* get_ptr() const override { return s_.c_str(); }
    std::size_t length() const override { return s_.size(); }
    void set_string(const char* text, std::size_t len = npos) override { s_.clear(); add_string(text, len); }
    void add_string(const char* text, std::size_t len = npos) override {
        if (!text) return;
        std::size_t n = 0;
        while (n != len && text[n] != '\0') ++n;
        s_.append(text, n);
    }
    const std::string& str() const { return s_; }

private:
    std::string s_;
};

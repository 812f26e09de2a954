#pragma once
// A registry key opened for the legacy plug-in list, its values enumerated in
// the registry's order, and the strings of multi-string values.
//
// Assertion failures throw their message as a UTF-16 text (const wchar_t*).
#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

inline constexpr wchar_t k_regkey_multi_sz_assertion[] =
    L"Helpers/regkey(155) : ensure: \"Type == REG_MULTI_SZ\" failed";
inline constexpr wchar_t k_regkey_handle_assertion[] = L"Helpers/regkey(506) : ensure: \"k_\" failed";

struct regkey_value {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;

    // The i-th string of a multi-string (string 0 of REG_SZ and
    // REG_EXPAND_SZ is the whole text); none past the end of the list. A
    // string is copied out up to its NUL or the end of the data, whichever
    // comes first: the registry does not make writers terminate what they
    // store. Throws k_regkey_multi_sz_assertion for other types.
    std::optional<std::wstring> string(std::size_t i) const;

    bool operator==(const regkey_value& o) const { return type == o.type && data == o.data; }
};

class regkey {
public:
    // Creates the key when it is missing. When the key can be neither opened
    // nor created the handle stays the parent's, and opened() says so.
    regkey(HKEY parent, const std::wstring& path, REGSAM access);
    ~regkey();
    regkey(const regkey&) = delete;
    regkey& operator=(const regkey&) = delete;

    bool opened() const { return key_ != parent_ && key_ != nullptr; }
    HKEY handle() const { return key_; }

    // Input iterator over the key's values; the end has a null key handle.
    class iterator {
    public:
        iterator() = default;
        explicit iterator(HKEY key);  // the first value, or the end

        iterator& operator++();
        bool operator==(const iterator& o) const;
        bool operator!=(const iterator& o) const { return !(*this == o); }

        const std::wstring& name() const { return name_; }
        const regkey_value& value() const { return value_; }
        DWORD index() const { return index_; }

    private:
        bool read();
        void become_end();

        HKEY key_ = nullptr;
        DWORD index_ = 0;
        DWORD max_name_ = 0;  // characters, without the NUL
        DWORD max_data_ = 0;  // bytes
        std::wstring name_;
        regkey_value value_;
    };

    iterator begin() const { return iterator(key_); }
    iterator end() const { return iterator(); }

private:
    HKEY parent_;
    HKEY key_;
    REGSAM access_;
    std::wstring path_;
};

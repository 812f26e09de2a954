#include "regkey.h"

std::optional<std::wstring> regkey_value::string(std::size_t i) const {
    if (!(i == 0 && (type == REG_SZ || type == REG_EXPAND_SZ)) && type != REG_MULTI_SZ)
        throw k_regkey_multi_sz_assertion;
    // Units are copied out one by one: the data is a byte array, and an odd
    // last byte belongs to no unit.
    const std::size_t units = data.size() / sizeof(wchar_t);
    auto unit = [&](std::size_t k) {
        return static_cast<wchar_t>(data[2 * k] | (data[2 * k + 1] << 8));
    };
    auto end_of = [&](std::size_t from) {
        while (from < units && unit(from) != L'\0') ++from;
        return from;
    };
    std::size_t at = 0;
    for (std::size_t n = 0; n < i; ++n) {
        at = end_of(at) + 1;
        if (at >= units || unit(at) == L'\0') return std::nullopt;  // the list ends here
    }
    if (at >= units) return std::nullopt;  // no data, no string
    std::wstring text;
    for (std::size_t k = at, end = end_of(at); k < end; ++k) text.push_back(unit(k));
    return text;
}

regkey::regkey(HKEY parent, const std::wstring& path, REGSAM access)
    : parent_(parent), key_(parent), access_(access), path_(path) {
    wchar_t no_class[] = L"";
    // A failure leaves the handle as the parent's; opened() tells the caller.
    RegCreateKeyExW(parent_, path_.c_str(), 0, no_class, 0, access_, nullptr, &key_, nullptr);
}

regkey::~regkey() {
    if (key_ && key_ != parent_) RegCloseKey(key_);
}

regkey::iterator::iterator(HKEY key) : key_(key) {
    DWORD values = 0;
    if (!key_ || RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, &max_name_,
                                  &max_data_, nullptr, nullptr) != ERROR_SUCCESS ||
        values == 0) {
        become_end();
        return;
    }
    if (!read()) become_end();
}

regkey::iterator& regkey::iterator::operator++() {
    if (!key_) throw k_regkey_handle_assertion;
    ++index_;
    if (!read()) become_end();
    return *this;
}

bool regkey::iterator::read() {
    std::vector<wchar_t> name(static_cast<std::size_t>(max_name_) + 1);
    value_.data.assign(max_data_, 0);
    DWORD name_length = static_cast<DWORD>(name.size());
    DWORD data_size = max_data_;
    DWORD type = REG_NONE;
    LONG status = RegEnumValueW(key_, index_, name.data(), &name_length, nullptr, &type,
                                value_.data.empty() ? nullptr : value_.data.data(), &data_size);
    // A value that grew since the key was queried fails like the end does.
    if (status != ERROR_SUCCESS || name_length >= name.size() || data_size > value_.data.size()) return false;
    name_.assign(name.data(), name_length);
    value_.type = type;
    value_.data.resize(data_size);
    return true;
}

void regkey::iterator::become_end() {
    key_ = nullptr;
    index_ = 0;
    name_.clear();
    value_ = regkey_value();
}

bool regkey::iterator::operator==(const iterator& o) const {
    if (!key_ && !o.key_) return true;
    return key_ == o.key_ && index_ == o.index_ && name_ == o.name_ && value_ == o.value_;
}

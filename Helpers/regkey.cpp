#include "regkey.h"

const wchar_t* regkey_value::string(std::size_t i) const {
    const auto* text = reinterpret_cast<const wchar_t*>(data.data());
    const std::size_t units = data.size() / sizeof(wchar_t);
    // The position of the NUL that ends the string at `from`, or `units`.
    auto end_of = [&](std::size_t from) {
        while (from < units && text[from] != L'\0') ++from;
        return from;
    };

    if (!(i == 0 && (type == REG_SZ || type == REG_EXPAND_SZ))) {
        if (type != REG_MULTI_SZ) throw k_regkey_multi_sz_assertion;
    }
    std::size_t at = 0;
    for (std::size_t n = 0; n < i; ++n) {
        std::size_t nul = end_of(at);
        if (nul >= units) return nullptr;  // the list is not terminated
        at = nul + 1;
        if (at >= units || text[at] == L'\0') return nullptr;  // the list ends here
    }
    if (at >= units || end_of(at) >= units) return nullptr;
    return text + at;
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

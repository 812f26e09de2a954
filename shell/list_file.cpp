#include "list_file.h"

#include <shlwapi.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "../Helpers/utf.h"
#include "../Helpers/win32_handles.h"
#include "component.h"

namespace {

const wchar_t k_file_name[] = L"vst_entries.bin";
constexpr std::size_t k_line_units = 260;  // a line holds at most 259 units
constexpr std::int64_t k_max_records = list_file_max_records;

// Reads UTF-16 units from a file through a small buffer.
class unit_reader {
public:
    explicit unit_reader(HANDLE file) : file_(file) {}

    bool next(wchar_t& unit) {
        unsigned char bytes[2];
        for (unsigned char& b : bytes)
            if (!next_byte(b)) return false;
        unit = static_cast<wchar_t>(bytes[0] | (bytes[1] << 8));
        return true;
    }
    bool next_byte(unsigned char& b) {
        if (pos_ == len_) {
            DWORD got = 0;
            if (!ReadFile(file_, buf_, sizeof buf_, &got, nullptr) || got == 0) return false;
            pos_ = 0;
            len_ = got;
        }
        b = buf_[pos_++];
        return true;
    }

    // One line: up to a line feed, 259 units, or the end of the file.
    std::string line() {
        wchar_t text[k_line_units] = {};
        std::size_t n = 0;
        wchar_t unit;
        while (n < k_line_units - 1 && next(unit)) {
            text[n++] = unit;
            if (unit == L'\n') break;
        }
        if (n > 0 && text[n - 1] == L'\n') --n;
        return wide_to_utf8(text, n);
    }

private:
    HANDLE file_;
    unsigned char buf_[16384];
    std::size_t pos_ = 0;
    std::size_t len_ = 0;
};

void append_line(std::vector<unsigned char>& out, const std::string& text) {
    std::wstring w = utf8_to_wide(text);
    w.push_back(L'\n');
    for (wchar_t u : w) {
        out.push_back(static_cast<unsigned char>(u & 0xFF));
        out.push_back(static_cast<unsigned char>((u >> 8) & 0xFF));
    }
}

}  // namespace

std::wstring list_file_path(const char* profile_folder) {
    std::string folder = profile_folder ? profile_folder : "";
    std::size_t scheme = folder.find("://");
    if (scheme != std::string::npos) folder.erase(0, scheme + 3);
    wchar_t out[MAX_PATH] = {};
    std::wstring wide = utf8_to_wide(folder);
    if (wide.size() >= MAX_PATH || !PathCombineW(out, wide.c_str(), k_file_name)) return {};
    return out;
}

void load_list_file(const std::wstring& path, entry_list& target) {
    target.clear();
    if (path.empty()) return;
    unique_handle file = make_file_handle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;

    unit_reader reader(file.get());
    // A file shorter than the count field holds no records.
    std::uint32_t raw_count = 0;
    for (int i = 0; i < 4; ++i) {
        unsigned char b;
        if (!reader.next_byte(b)) return;
        raw_count |= static_cast<std::uint32_t>(b) << (8 * i);
    }
    std::int32_t count = static_cast<std::int32_t>(raw_count);

    // A file that ends early still yields every counted entry (the missing
    // lines read as empty texts); only the fixed bound cuts a damaged count.
    const std::int64_t records = std::min<std::int64_t>(count, k_max_records);

    for (std::int64_t i = 0; i < records; ++i) {
        entry::lines texts;
        for (std::string& line : texts) line = reader.line();
        target.push_back(std::make_unique<entry>(texts));
    }
}

void save_list_file(const std::wstring& path, const entry_list& list) {
    if (path.empty()) return;
    std::vector<unsigned char> bytes;
    std::uint32_t count = static_cast<std::uint32_t>(list.size());
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<unsigned char>(count >> (8 * i)));
    for (const auto& e : list)
        for (const std::string& line : e->to_lines()) append_line(bytes, line);

    unique_handle file = make_file_handle(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    DWORD written = 0;
    WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void load_list(entry_list& target) { load_list_file(list_file_path(core_api().profile_folder()), target); }

void save_list(const entry_list& list) { save_list_file(list_file_path(core_api().profile_folder()), list); }

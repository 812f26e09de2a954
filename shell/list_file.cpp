#include "list_file.h"

#include <shlwapi.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "../Helpers/replace_file.h"
#include "../Helpers/utf.h"
#include "../Helpers/win32_handles.h"
#include "../host/exception_win32.h"
#include "component.h"
#include "list_field.h"
#include "list_format.h"

namespace {

const wchar_t k_file_name[] = L"vst_entries.bin";

class file_source final : public byte_source {
public:
    explicit file_source(HANDLE file) : file_(file) {}
    std::size_t read(unsigned char* out, std::size_t n) override {
        DWORD got = 0;
        if (!ReadFile(file_, out, static_cast<DWORD>(n), &got, nullptr)) return 0;
        return got;
    }

private:
    HANDLE file_;
};

std::string to_utf8(const std::u16string& units) {
    static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 units are wchar_t on Windows");
    return wide_to_utf8(reinterpret_cast<const wchar_t*>(units.data()), units.size());
}

void append_line(std::vector<unsigned char>& out, const std::string& text) {
    std::wstring w = utf8_to_wide(text);
    w.push_back(L'\n');
    for (wchar_t u : w) {
        out.push_back(static_cast<unsigned char>(u & 0xFF));
        out.push_back(static_cast<unsigned char>((u >> 8) & 0xFF));
    }
}

const char* const k_field_names[] = {"module path", "product name", "spare text", "vendor name", "channel summary"};

list_save_result refused(const std::string& why) { return {false, "The plug-in list could not be saved: " + why}; }

// The first field the file cannot hold, as the user would name it.
std::string unfit_field(const entry_list& list) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        const entry::lines lines = list[i]->to_lines();
        for (std::size_t f = 0; f < sizeof k_field_names / sizeof k_field_names[0]; ++f)
            if (!fits_list_field(lines[f]))
                return std::string("the ") + k_field_names[f] + " of plug-in " + std::to_string(i + 1) +
                       " is longer than " + std::to_string(list_field_max_units) +
                       " characters or holds a line break.";
    }
    return {};
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

    file_source source(file.get());
    for (const list_record_units& units : decode_list(source, list_file_max_records)) {
        entry::lines texts;
        for (std::size_t i = 0; i < texts.size(); ++i) texts[i] = to_utf8(units[i]);
        target.push_back(std::make_unique<entry>(texts));
    }
}

list_save_result save_list_file(const std::wstring& path, const entry_list& list) {
    if (path.empty()) return refused("the player's profile folder is not known.");
    const std::string unfit = unfit_field(list);
    if (!unfit.empty()) return refused(unfit);

    std::vector<unsigned char> bytes;
    std::uint32_t count = static_cast<std::uint32_t>(list.size());
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<unsigned char>(count >> (8 * i)));
    for (const auto& e : list)
        for (const std::string& line : e->to_lines()) append_line(bytes, line);

    const DWORD error = replace_file_content(path, bytes);
    if (error != ERROR_SUCCESS) return refused(wide_to_utf8(path) + ": " + format_win32_error(error));
    return {true, {}};
}

bool list_file_holds(const std::wstring& path, const entry_list& list) {
    entry_list written;
    load_list_file(path, written);
    if (written.size() != list.size()) return false;
    for (std::size_t i = 0; i < list.size(); ++i)
        if (!same_record(*written[i], *list[i])) return false;
    return true;
}

void load_list(entry_list& target) { load_list_file(list_file_path(core_api().profile_folder()), target); }

list_save_result save_list(const entry_list& list) {
    return save_list_file(list_file_path(core_api().profile_folder()), list);
}

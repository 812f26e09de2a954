#include "list_field.h"

#include "../Helpers/utf.h"
#include "list_format.h"

static_assert(list_field_max_units + 1 == list_line_max_units, "a field leaves one unit for its line feed");

namespace {

bool is_control(wchar_t u) { return u < 0x20 || (u >= 0x7F && u <= 0x9F); }
bool is_high_surrogate(wchar_t u) { return u >= 0xD800 && u <= 0xDBFF; }

}  // namespace

bool fits_list_field(const std::string& text) {
    const std::wstring units = utf8_to_wide(text);
    return units.size() <= list_field_max_units && units.find(L'\n') == std::wstring::npos;
}

std::string clean_list_field(const std::string& text) {
    std::wstring units = utf8_to_wide(text);
    if (units.size() > list_field_max_units) {
        std::size_t keep = list_field_max_units;
        if (is_high_surrogate(units[keep - 1])) --keep;
        units.resize(keep);
    }
    for (wchar_t& u : units)
        if (is_control(u)) u = L' ';
    return wide_to_utf8(units);
}

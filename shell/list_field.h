#pragma once
// What one text field of "vst_entries.bin" can hold: a line is read up to
// its line feed or a fixed number of units, so a longer field, or one with a
// line feed inside, would split and shift every later line of the file.
#include <cstddef>
#include <string>

// The longest field that reads back whole: the reader's line limit counts
// the line feed too.
constexpr std::size_t list_field_max_units = 258;

// The field reads back from the file exactly as it is written.
bool fits_list_field(const std::string& text);

// The text cut to the field's limit (never between the two halves of a
// surrogate pair), every control character replaced by a space.
std::string clean_list_field(const std::string& text);

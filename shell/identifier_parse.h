#pragma once
// The lenient reading of an identifier line of the list file, without
// Windows' GUID type so that native harnesses can feed it any text.
#include <cstdint>
#include <string>

struct identifier_fields {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::uint8_t data4[8] = {};
};

// Optional braces, any case, missing or repeated hyphens; a non-digit counts
// as 0, and groups the text is too short for stay zero.
identifier_fields parse_identifier_fields(const std::string& text);

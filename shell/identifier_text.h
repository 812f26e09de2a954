#pragma once
// The 16-byte plug-in identifier as the list file writes it:
// 8-4-4-4-12 upper-case hexadecimal digits, no braces.
#include <windows.h>

#include <cstdint>
#include <string>

std::string format_identifier(const GUID& id);
// Lenient: optional braces, any case, missing hyphens; a non-digit counts as
// 0, and groups the text is too short for stay zero.
GUID parse_identifier(const std::string& text);
// Four copies of a plug-in's uniqueID, in native byte order.
GUID identifier_from_unique_id(std::int32_t unique_id);
// True when all four 32-bit words are equal: the mark of our own presets.
bool is_plugin_identifier(const GUID& id);

#pragma once
// Text is UTF-8 in memory and UTF-16 at every Windows call.
#include <string>

std::wstring utf8_to_wide(const std::string& text);
std::string wide_to_utf8(const std::wstring& text);
std::string wide_to_utf8(const wchar_t* text, std::size_t length);

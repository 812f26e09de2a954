#pragma once
// A plug-in's diagnosis ("text", CR LF CR LF, path) on one line:
// "text (path)". Texts without that break are returned as they are.
#include <string>

std::string one_line(const std::string& diagnosis);

#pragma once
#include <string>

// True when the file-name part of `path` (after the last \ / | or :) is
// exactly "vel_vst.dll"; letter case counts.
bool is_expected_file_name(const std::string& path);

#pragma once
// A path as the user is shown it. Under Wine a Windows path such as
// C:\users\root\Temp\x.wav names a file the Linux user cannot find, so the
// Unix path follows it in brackets; on Windows it stands alone.
#include <string>

std::string shown_path(const std::wstring& windows_path);

#pragma once
// Replaces a file's content as one step: the bytes go to a file of a unique
// name beside it, are flushed to the disk, and that file is moved over the
// old one with write-through. A failure at any step leaves the old file as
// it was and no temporary file behind.
#include <windows.h>

#include <string>
#include <vector>

// ERROR_SUCCESS, or the Win32 error of the step that failed.
DWORD replace_file_content(const std::wstring& path, const std::vector<unsigned char>& bytes);

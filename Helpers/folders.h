#pragma once
#include <string>

// The folder of the running program, with a trailing backslash.
std::wstring executable_folder();

// Removes a folder with everything in it; what cannot be removed stays.
// Links and junctions inside it are removed, not followed.
void remove_folder_tree(const std::wstring& folder);

#pragma once
#include <string>

// Removes a folder with everything in it; what cannot be removed stays.
void remove_folder_tree(const std::wstring& folder);

#pragma once
// Where a configured plug-in's DLL is: a module path stored relative is
// taken from the folder of the player's executable.
#include <string>

std::string resolve_module_path(const std::string& configured);

#pragma once
// Single programs in ".fxp" files. Format errors are shown to the user;
// the host's I/O errors propagate to the caller.
#include <string>

class vst;

void load_fxp(vst& plugin, const std::string& path);
void save_fxp(vst& plugin, const std::string& path);

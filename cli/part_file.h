#pragma once
// The file an output is written to before it gets its real name: always a
// new file of the tool's own, beside the output, so that a file of the
// user's is never overwritten or renamed in its place.
#include <cstdio>
#include <string>

struct part_file {
    std::wstring path;
    std::FILE* file = nullptr;  // opened for binary writing; the caller closes it
    void* handle = nullptr;     // the system's handle behind `file`, valid while it is open
};

// Creates "OUTPUT.<random>.part" that did not exist before, marked to be
// deleted when it is closed: a run ended in any way at all, a signal the
// tool never sees included, leaves nothing behind. Throws cli_error when
// the output's folder takes no new file.
part_file create_part_file(const std::wstring& output);
// The run is complete: the file stays when it is closed. Call it while the
// file is still open.
bool keep_part_file(const part_file& part);

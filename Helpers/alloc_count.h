#pragma once
// Counts heap allocations for the benchmark (in its own process, and in a
// bridge process asked to): the C runtime's malloc, calloc and realloc, as
// imported by the modules handed in (operator new ends in malloc). The
// import table entries are replaced by counting wrappers, so a DLL loaded
// with its own copy of the runtime is counted as well as the program.
#include <windows.h>

#include <cstdint>

void count_allocations_in(HMODULE module);
std::uint64_t allocation_count();
// Those made by the calling thread alone (another thread's work going on
// meanwhile does not count).
std::uint64_t allocation_count_of_this_thread();

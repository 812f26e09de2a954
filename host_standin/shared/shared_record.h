#pragma once
// What the stand-in's shared library keeps beyond the player's exports: the
// exceptions its filter took, and the call-stack labels of the calling thread.
#include <cstddef>

#include "../../host/shared.h"

extern "C" {
SHARED_EXPORT std::size_t __cdecl standin_filtered_count();
SHARED_EXPORT void __cdecl standin_filtered_text(std::size_t index, string_base& out);
SHARED_EXPORT void __cdecl standin_call_stack(string_base& out);
}

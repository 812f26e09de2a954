#include "late_bound.h"

#include "utf.h"

namespace late_bound_detail {

FARPROC resolve(const wchar_t* library, const char* function) noexcept {
    // Never freed: the caller keeps the address for the process.
    HMODULE module = LoadLibraryW(library);
    return module ? GetProcAddress(module, function) : nullptr;
}

std::string describe_failure(const wchar_t* library, const char* function) {
    // A DLL that loaded once is still loaded, since resolve never frees it.
    const std::string name = wide_to_utf8(library);
    if (!GetModuleHandleW(library)) return "the system library " + name + " cannot be loaded";
    return "the system library " + name + " has no function " + function;
}

}  // namespace late_bound_detail

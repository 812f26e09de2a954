// x86 only. Our compiler unwinds x86 C++ exceptions by tables that each
// module's copy of the unwinder knows only for that module, so an exception
// thrown by the player's code through ours, or by ours into the player's,
// would end in terminate. A player built with the same compiler offers one
// unwinder for the whole process in its own DLL (orvane_eh.dll in the
// stand-in); when it is loaded, every unwinder call of this DLL goes there,
// the registration of our frames included, so both sides unwind with one
// copy that knows every frame. Otherwise the copy linked in here serves, as
// in any self-contained DLL: the shipped DLL needs nothing beside it.
//
// The link routes each function below to __wrap_NAME (--wrap); the copy
// linked in stays reachable as __real_NAME. The choice is made at the first
// call, which is the registration of our frames while the DLL loads, so
// every exception of the process life of this DLL sees one unwinder.
#include <windows.h>

#include <atomic>
#include <cstdint>

extern "C" {

struct _Unwind_Exception;
struct _Unwind_Context;
using unwind_reason = int;
using unwind_word = std::uintptr_t;
using unwind_trace = unwind_reason (*)(_Unwind_Context*, void*);
using unwind_stop = unwind_reason (*)(int, int, std::uint64_t, _Unwind_Exception*, _Unwind_Context*, void*);

// Every entry point of the unwinder that compiled code, the C++ runtime or
// the frame registration of a module calls.
#define ORVANE_UNWINDER_FUNCTIONS(X)                                                                   \
    X(unwind_reason, _Unwind_RaiseException, (_Unwind_Exception * e), (e))                            \
    X(void, _Unwind_Resume, (_Unwind_Exception * e), (e))                                             \
    X(unwind_reason, _Unwind_Resume_or_Rethrow, (_Unwind_Exception * e), (e))                         \
    X(void, _Unwind_DeleteException, (_Unwind_Exception * e), (e))                                    \
    X(unwind_reason, _Unwind_ForcedUnwind, (_Unwind_Exception * e, unwind_stop s, void* a), (e, s, a)) \
    X(unwind_reason, _Unwind_Backtrace, (unwind_trace f, void* a), (f, a))                            \
    X(unwind_word, _Unwind_GetGR, (_Unwind_Context * c, int i), (c, i))                               \
    X(void, _Unwind_SetGR, (_Unwind_Context * c, int i, unwind_word v), (c, i, v))                    \
    X(unwind_word, _Unwind_GetIP, (_Unwind_Context * c), (c))                                         \
    X(unwind_word, _Unwind_GetIPInfo, (_Unwind_Context * c, int* before), (c, before))                \
    X(void, _Unwind_SetIP, (_Unwind_Context * c, unwind_word v), (c, v))                              \
    X(unwind_word, _Unwind_GetCFA, (_Unwind_Context * c), (c))                                        \
    X(void*, _Unwind_GetLanguageSpecificData, (_Unwind_Context * c), (c))                             \
    X(unwind_word, _Unwind_GetRegionStart, (_Unwind_Context * c), (c))                                \
    X(unwind_word, _Unwind_GetDataRelBase, (_Unwind_Context * c), (c))                                \
    X(unwind_word, _Unwind_GetTextRelBase, (_Unwind_Context * c), (c))                                \
    X(void*, _Unwind_FindEnclosingFunction, (void* pc), (pc))                                         \
    X(void, __register_frame_info, (const void* begin, void* object), (begin, object))                \
    X(void*, __deregister_frame_info, (const void* begin), (begin))

#define ORVANE_DECLARE_REAL(result, name, params, args) result __real_##name params;
ORVANE_UNWINDER_FUNCTIONS(ORVANE_DECLARE_REAL)
#undef ORVANE_DECLARE_REAL

}  // extern "C"

namespace {

struct unwinder {
#define ORVANE_FIELD(result, name, params, args) decltype(&__real_##name) name;
    ORVANE_UNWINDER_FUNCTIONS(ORVANE_FIELD)
#undef ORVANE_FIELD
};

const unwinder k_linked_in = {
#define ORVANE_REAL(result, name, params, args) &__real_##name,
    ORVANE_UNWINDER_FUNCTIONS(ORVANE_REAL)
#undef ORVANE_REAL
};

unwinder g_offered;
std::atomic<const unwinder*> g_chosen{nullptr};

// The player's unwinder, complete, or the one linked in. Two threads that
// ask first at once make the same choice.
const unwinder& choose() {
    unwinder offered{};
    // Pinned: this DLL calls into it for as long as it lives.
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN, L"orvane_eh.dll", &module);
    bool complete = module != nullptr;
#define ORVANE_RESOLVE(result, name, params, args)                                          \
    offered.name = reinterpret_cast<decltype(offered.name)>(                                \
        module ? reinterpret_cast<void*>(GetProcAddress(module, #name)) : nullptr);         \
    complete = complete && offered.name != nullptr;
    ORVANE_UNWINDER_FUNCTIONS(ORVANE_RESOLVE)
#undef ORVANE_RESOLVE
    if (!complete) return k_linked_in;
    g_offered = offered;
    return g_offered;
}

const unwinder& current() {
    const unwinder* chosen = g_chosen.load(std::memory_order_acquire);
    if (!chosen) {
        chosen = &choose();
        g_chosen.store(chosen, std::memory_order_release);
    }
    return *chosen;
}

}  // namespace

extern "C" {
#define ORVANE_WRAP(result, name, params, args) \
    result __wrap_##name params { return current().name args; }
ORVANE_UNWINDER_FUNCTIONS(ORVANE_WRAP)
#undef ORVANE_WRAP
}

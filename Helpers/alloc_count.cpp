#include "alloc_count.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

using malloc_fn = void*(__cdecl*)(std::size_t);
using calloc_fn = void*(__cdecl*)(std::size_t, std::size_t);
using realloc_fn = void*(__cdecl*)(void*, std::size_t);

std::atomic<std::uint64_t> g_count{0};
// Each thread's count in a slot of the system's own: the compiler's
// thread-local storage allocates on a thread's first use, which would count
// itself without end.
const DWORD g_thread_slot = TlsAlloc();

void count_on_this_thread() {
    if (g_thread_slot == TLS_OUT_OF_INDEXES) return;
    const auto n = reinterpret_cast<std::uintptr_t>(TlsGetValue(g_thread_slot));
    TlsSetValue(g_thread_slot, reinterpret_cast<void*>(n + 1));
}
// The runtime's own functions, taken from the first import table patched.
std::atomic<malloc_fn> g_malloc{nullptr};
std::atomic<calloc_fn> g_calloc{nullptr};
std::atomic<realloc_fn> g_realloc{nullptr};

void* __cdecl counting_malloc(std::size_t n) {
    ++g_count;
    count_on_this_thread();
    return g_malloc.load()(n);
}
void* __cdecl counting_calloc(std::size_t n, std::size_t size) {
    ++g_count;
    count_on_this_thread();
    return g_calloc.load()(n, size);
}
void* __cdecl counting_realloc(void* p, std::size_t n) {
    ++g_count;
    count_on_this_thread();
    return g_realloc.load()(p, n);
}

template <class Fn>
void patch(ULONG_PTR& slot, std::atomic<Fn>& original, Fn wrapper) {
    Fn current = reinterpret_cast<Fn>(slot);
    if (current == wrapper) return;
    Fn expected = nullptr;
    original.compare_exchange_strong(expected, current);
    DWORD old = 0;
    if (!VirtualProtect(&slot, sizeof slot, PAGE_READWRITE, &old)) return;
    slot = reinterpret_cast<ULONG_PTR>(wrapper);
    VirtualProtect(&slot, sizeof slot, old, &old);
}

}  // namespace

void count_allocations_in(HMODULE module) {
    if (!module) return;
    auto* base = reinterpret_cast<unsigned char*>(module);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0) return;
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name; ++d) {
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + (d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk));
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const char* name = reinterpret_cast<const char*>(
                reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name);
            if (std::strcmp(name, "malloc") == 0) patch(slots->u1.Function, g_malloc, &counting_malloc);
            else if (std::strcmp(name, "calloc") == 0) patch(slots->u1.Function, g_calloc, &counting_calloc);
            else if (std::strcmp(name, "realloc") == 0) patch(slots->u1.Function, g_realloc, &counting_realloc);
        }
    }
}

std::uint64_t allocation_count() { return g_count.load(); }
std::uint64_t allocation_count_of_this_thread() {
    if (g_thread_slot == TLS_OUT_OF_INDEXES) return 0;
    return reinterpret_cast<std::uintptr_t>(TlsGetValue(g_thread_slot));
}

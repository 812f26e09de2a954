#include "module_unload.h"

#include <tlhelp32.h>

#include <atomic>
#include <vector>

#include "plugin_guard.h"

namespace {

// Every thread this process starts passes here (a TLS callback runs for
// each new thread, in a DLL and in a program alike).
std::atomic<std::uint32_t> g_threads_started{0};

void NTAPI count_thread(PVOID, DWORD reason, PVOID) {
    if (reason == DLL_THREAD_ATTACH) g_threads_started.fetch_add(1, std::memory_order_relaxed);
}

// The runtime's TLS directory calls every pointer placed between its own
// first and last entries.
extern "C" __attribute__((section(".CRT$XLF"), used)) const PIMAGE_TLS_CALLBACK orvane_thread_counter = count_thread;

struct image_range {
    std::uintptr_t begin = 0;
    std::uintptr_t end = 0;
    bool holds(std::uintptr_t address) const { return address >= begin && address < end; }
};

image_range range_of(HMODULE module) {
    const auto base = reinterpret_cast<std::uintptr_t>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + static_cast<std::uintptr_t>(dos->e_lfanew));
    return {base, base + nt->OptionalHeader.SizeOfImage};
}

// The end of the stack that holds `sp`: its committed pages run from the
// stack pointer up to the top of the stack's reservation.
std::uintptr_t stack_top_above(std::uintptr_t sp) {
    MEMORY_BASIC_INFORMATION region{};
    if (!VirtualQuery(reinterpret_cast<const void*>(sp), &region, sizeof region) || region.State != MEM_COMMIT) return 0;
    const void* reservation = region.AllocationBase;
    std::uintptr_t end = reinterpret_cast<std::uintptr_t>(region.BaseAddress) + region.RegionSize;
    while (VirtualQuery(reinterpret_cast<const void*>(end), &region, sizeof region) &&
           region.AllocationBase == reservation && region.State == MEM_COMMIT)
        end += region.RegionSize;
    return end;
}

// The live stack runs from the stack pointer up to the stack's base. A
// stale value in a live frame can only make a DLL stay loaded, never the
// other way round.
bool stack_returns_into(const image_range& image, std::uintptr_t sp) {
    constexpr std::uintptr_t k_scan_limit = 16u << 20;
    const std::uintptr_t top = stack_top_above(sp);
    if (sp == 0 || sp >= top || top - sp > k_scan_limit) return false;
    bool found = false;
    plugin_fault fault;
    call_guarded(fault, [&] {
        for (auto* at = reinterpret_cast<const std::uintptr_t*>(sp & ~(sizeof(std::uintptr_t) - 1));
             reinterpret_cast<std::uintptr_t>(at) < top && !found; ++at)
            found = image.holds(*at);
    });
    return found;
}

// Nothing here allocates while the thread is suspended: it may hold the
// heap's lock.
bool thread_in_image(DWORD id, const image_range& image) {
    unique_handle thread(OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT, FALSE, id));
    if (!thread) return false;
    if (SuspendThread(thread.get()) == static_cast<DWORD>(-1)) return false;
    CONTEXT context{};
    context.ContextFlags = CONTEXT_CONTROL | CONTEXT_INTEGER;
    bool in_image = false;
    if (GetThreadContext(thread.get(), &context)) {
        // A thread about to start has its start routine in a register.
#if defined(_WIN64)
        const std::uintptr_t sp = context.Rsp;
        const std::uintptr_t registers[] = {context.Rip, context.Rax, context.Rbx, context.Rcx, context.Rdx,
                                            context.Rsi, context.Rdi, context.R8,  context.R9};
#else
        const std::uintptr_t sp = context.Esp;
        const std::uintptr_t registers[] = {context.Eip, context.Eax, context.Ebx, context.Ecx,
                                            context.Edx, context.Esi, context.Edi};
#endif
        for (std::uintptr_t value : registers) in_image = in_image || image.holds(value);
        in_image = in_image || stack_returns_into(image, sp);
    }
    ResumeThread(thread.get());
    return in_image;
}

}  // namespace

std::uint32_t threads_started_so_far() { return g_threads_started.load(std::memory_order_relaxed); }

bool image_in_use_by_other_threads(HMODULE module) {
    const image_range image = range_of(module);
    std::vector<DWORD> others;
    {
        unique_handle snapshot = make_file_handle(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
        if (!snapshot) return true;  // cannot tell: keep it
        THREADENTRY32 entry{};
        entry.dwSize = sizeof entry;
        const DWORD process = GetCurrentProcessId(), self = GetCurrentThreadId();
        for (BOOL more = Thread32First(snapshot.get(), &entry); more; more = Thread32Next(snapshot.get(), &entry))
            if (entry.th32OwnerProcessID == process && entry.th32ThreadID != self) others.push_back(entry.th32ThreadID);
    }
    for (DWORD id : others)
        if (thread_in_image(id, image)) return true;
    return false;
}

void unload_plugin_module(unique_module module, std::uint32_t mark) {
    if (!module) return;
    // A thread made just now may not have started yet (a thread counts once
    // it starts): it is given the chance to before the count is believed.
    if (threads_started_so_far() == mark) SwitchToThread();
    if (threads_started_so_far() != mark && image_in_use_by_other_threads(module.get())) {
        // Kept for good: the reference is simply never given back.
        static_cast<void>(module.release());
        return;
    }
    module.reset();
}

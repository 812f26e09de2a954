#include "module_unload.h"

#include <tlhelp32.h>

#include <atomic>
#include <vector>

#include "../Helpers/critical_section.h"
#include "../Helpers/never_destroyed.h"
#include "../Helpers/thread_slot.h"
#include "guard/plugin_guard.h"

namespace {

// Every thread this process starts passes here (a TLS callback runs for
// each new thread, in a DLL and in a program alike).
std::atomic<std::uint32_t> g_threads_started{0};

// The threads that call plug-ins on the host's behalf, each by its id and
// the time it was made (an id is given out again once its thread is gone).
// A thread that does not fit is simply looked at like any other.
constexpr std::size_t k_host_thread_slots = 256;
struct host_thread_slot {
    std::atomic<DWORD> id{0};
    std::atomic<std::uint64_t> made{0};
};
host_thread_slot g_host_threads[k_host_thread_slots];
}  // namespace

const thread_value<bool> t_host_thread_noted;

namespace {

std::uint64_t made_at(HANDLE thread) {
    FILETIME made{}, ended{}, kernel{}, user{};
    if (!GetThreadTimes(thread, &made, &ended, &kernel, &user)) return 0;
    return (std::uint64_t{made.dwHighDateTime} << 32) | made.dwLowDateTime;
}

bool is_host_thread(DWORD id, std::uint64_t made) {
    for (const host_thread_slot& slot : g_host_threads)
        if (slot.id.load(std::memory_order_acquire) == id && slot.made.load(std::memory_order_acquire) == made)
            return true;
    return false;
}

// A slot whose thread is gone (or is another thread by now) is free again.
bool slot_is_stale(const host_thread_slot& slot) {
    const DWORD id = slot.id.load(std::memory_order_acquire);
    if (!id) return true;
    unique_handle thread(OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, id));
    if (!thread || WaitForSingleObject(thread.get(), 0) == WAIT_OBJECT_0) return true;
    return made_at(thread.get()) != slot.made.load(std::memory_order_acquire);
}

void NTAPI count_thread(PVOID, DWORD reason, PVOID) {
    if (reason == DLL_THREAD_ATTACH) g_threads_started.fetch_add(1, std::memory_order_relaxed);
}

// The runtime's TLS directory calls every pointer placed between its own
// first and last entries.
extern "C" __attribute__((section(".CRT$XLF"), used)) const PIMAGE_TLS_CALLBACK orvane_thread_counter = count_thread;

// The image's code: where a thread runs, or returns to, the plug-in's code.
struct code_range {
    std::uintptr_t begin = 0;
    std::uintptr_t end = 0;
    bool holds(std::uintptr_t address) const { return address >= begin && address < end; }
};

code_range code_of(HMODULE module) {
    const auto base = reinterpret_cast<std::uintptr_t>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + static_cast<std::uintptr_t>(dos->e_lfanew));
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    code_range code{~std::uintptr_t{0}, 0};
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        if (!(section->Characteristics & IMAGE_SCN_MEM_EXECUTE)) continue;
        const std::uintptr_t begin = base + section->VirtualAddress;
        const std::uintptr_t end = begin + (section->Misc.VirtualSize ? section->Misc.VirtualSize : section->SizeOfRawData);
        if (begin < code.begin) code.begin = begin;
        if (end > code.end) code.end = end;
    }
    return code.end > code.begin ? code : code_range{};
}

// Whether the bytes before `address` are a call instruction (direct, or
// through a register or memory), so that `address` is where a call returns
// to: a stale pointer into the plug-in's data, or a number that happens to
// fall in its range, is not taken for one.
bool follows_a_call(const code_range& code, std::uintptr_t address) {
    if (address < code.begin + 7 || !code.holds(address)) return false;
    const auto* at = reinterpret_cast<const unsigned char*>(address);
    if (at[-5] == 0xE8) return true;
    for (int length = 2; length <= 7; ++length)
        if (at[-length] == 0xFF && ((at[-length + 1] >> 3) & 7) == 2) return true;
    return false;
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
bool stack_returns_into(const code_range& code, std::uintptr_t sp) {
    constexpr std::uintptr_t k_scan_limit = 16u << 20;
    const std::uintptr_t top = stack_top_above(sp);
    if (sp == 0 || sp >= top || top - sp > k_scan_limit) return false;
    bool found = false;
    plugin_fault fault;
    call_guarded(fault, [&] {
        for (auto* at = reinterpret_cast<const std::uintptr_t*>(sp & ~(sizeof(std::uintptr_t) - 1));
             reinterpret_cast<std::uintptr_t>(at) < top && !found; ++at)
            found = follows_a_call(code, *at);
    });
    return found;
}

// Nothing here allocates while the thread is suspended: it may hold the
// heap's lock.
bool thread_in_code(DWORD id, const code_range& code) {
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
        for (std::uintptr_t value : registers) in_image = in_image || code.holds(value);
        in_image = in_image || stack_returns_into(code, sp);
    }
    ResumeThread(thread.get());
    return in_image;
}

}  // namespace

std::uint32_t threads_started_so_far() { return g_threads_started.load(std::memory_order_relaxed); }

void note_new_host_thread() {
    if (t_host_thread_noted.get()) return;
    t_host_thread_noted.set(true);
    const DWORD id = GetCurrentThreadId();
    const std::uint64_t made = made_at(GetCurrentThread());
    for (host_thread_slot& slot : g_host_threads) {
        DWORD held = slot.id.load(std::memory_order_acquire);
        if ((held && !slot_is_stale(slot)) || !slot.id.compare_exchange_strong(held, id)) continue;
        slot.made.store(made, std::memory_order_release);
        return;
    }
}

namespace {

// The other threads of this process, but for those that call plug-ins on
// the host's behalf. Walked one by one where the system can (the process's
// own threads only); else from a snapshot of every thread of the system.
std::vector<DWORD> suspect_threads() {
    std::vector<DWORD> ids;
    const DWORD self = GetCurrentThreadId();
    const auto keep = [&](DWORD id, HANDLE thread) {
        if (id && id != self && !is_host_thread(id, made_at(thread))) ids.push_back(id);
    };
    using next_thread_proc = LONG(NTAPI*)(HANDLE, HANDLE, ACCESS_MASK, ULONG, ULONG, HANDLE*);
    static const auto next_thread = reinterpret_cast<next_thread_proc>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtGetNextThread")));
    if (next_thread) {
        HANDLE thread = nullptr, next = nullptr;
        while (next_thread(GetCurrentProcess(), thread, THREAD_QUERY_LIMITED_INFORMATION, 0, 0, &next) == 0) {
            if (thread) CloseHandle(thread);
            thread = next;
            keep(GetThreadId(thread), thread);
        }
        if (thread) CloseHandle(thread);
        return ids;
    }
    unique_handle snapshot = make_file_handle(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot) return {};
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    const DWORD process = GetCurrentProcessId();
    for (BOOL more = Thread32First(snapshot.get(), &entry); more; more = Thread32Next(snapshot.get(), &entry)) {
        if (entry.th32OwnerProcessID != process) continue;
        unique_handle thread(OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID));
        keep(entry.th32ThreadID, thread.get());
    }
    return ids;
}

}  // namespace

void keep_component_loaded() {
    static std::atomic<bool> pinned{false};
    if (pinned.exchange(true)) return;
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&keep_component_loaded), &self);
}

bool image_in_use_by_other_threads(HMODULE module) {
    const code_range code = code_of(module);
    if (!code.end) return true;  // no code we can tell: keep it
    for (DWORD id : suspect_threads())
        if (thread_in_code(id, code)) return true;
    return false;
}

namespace {

// DLLs whose unload was put off because a thread seemed to run their code.
// A thread's stack may hold return addresses of calls long over (a host
// thread that has not called the plug-in yet, but ran its thread-attach
// code), so each is looked at again at every later unload, and goes once
// no thread runs it. Past this many, one is kept for good.
constexpr std::size_t k_deferred_slots = 64;

struct deferred_unloads {
    critical_section lock;
    HMODULE modules[k_deferred_slots] = {};
};

deferred_unloads& deferred() {
    static never_destroyed<deferred_unloads> list;
    return list.get();
}

void defer(HMODULE module) {
    keep_component_loaded();
    deferred_unloads& d = deferred();
    critical_section_scope guard(d.lock);
    for (HMODULE& slot : d.modules)
        if (!slot) {
            slot = module;
            return;
        }
    // No room: this one stays loaded until the process ends.
}

void retry_deferred() {
    deferred_unloads& d = deferred();
    HMODULE taken[k_deferred_slots] = {};
    {
        critical_section_scope guard(d.lock);
        for (std::size_t i = 0; i < k_deferred_slots; ++i) {
            taken[i] = d.modules[i];
            d.modules[i] = nullptr;
        }
    }
    // Unloaded outside the lock: a DLL's detach code runs there.
    for (HMODULE module : taken) {
        if (!module) continue;
        if (image_in_use_by_other_threads(module)) defer(module);
        else FreeLibrary(module);
    }
}

}  // namespace

void unload_plugin_module(unique_module module, std::uint32_t mark, bool last) {
    if (!module) return;
    if (last) {
        // A thread made just now may not have started yet (a thread counts
        // once it starts): it is given the chance to before the count is
        // believed.
        if (threads_started_so_far() == mark) SwitchToThread();
        if (threads_started_so_far() != mark && image_in_use_by_other_threads(module.get()))
            defer(module.release());
    }
    module.reset();
    retry_deferred();
}

#include "plugin_guard.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <csignal>

#include "signal_routing.h"
#include "fault_codes.h"

namespace {

// The codes C++ exceptions are raised with (by our compiler's runtime and
// by the other common one), and the one a routed runtime signal raises.
constexpr std::uint32_t k_cxx_exception_gcc = 0x20474343;
constexpr std::uint32_t k_cxx_exception_native = 0xE06D7363;
constexpr std::uint32_t k_signal_exception = k_signal_exception_code;

}  // namespace

bool is_plugin_fault(std::uint32_t code) {
    // Errors and warnings (breakpoints included) would end the process;
    // informational codes (debug output, thread names) are passed on.
    return (code & 0x80000000u) != 0 || code == k_cxx_exception_gcc || code == k_signal_exception;
}

const char* describe_fault(std::uint32_t code) {
    switch (code) {
        case EXCEPTION_ACCESS_VIOLATION: return "access violation";
        case EXCEPTION_ILLEGAL_INSTRUCTION: return "illegal instruction";
        case EXCEPTION_PRIV_INSTRUCTION: return "privileged instruction";
        case EXCEPTION_INT_DIVIDE_BY_ZERO: return "division by zero";
        case EXCEPTION_INT_OVERFLOW: return "integer overflow";
        case EXCEPTION_FLT_DIVIDE_BY_ZERO: return "floating-point division by zero";
        case EXCEPTION_FLT_INVALID_OPERATION: return "invalid floating-point operation";
        case EXCEPTION_STACK_OVERFLOW: return "stack overflow";
        case EXCEPTION_DATATYPE_MISALIGNMENT: return "misaligned data";
        case EXCEPTION_IN_PAGE_ERROR: return "page error";
        case EXCEPTION_BREAKPOINT: return "breakpoint";
        case k_cxx_exception_gcc:
        case k_cxx_exception_native: return "C++ exception";
        case k_signal_exception: return "abort";
        case k_fault_wrote_past_buffers: return "wrote past its buffers";
        case k_fault_process_ended: return "its process ended";
        case k_fault_process_hung: return "its process was ended";
        default: return "exception";
    }
}

namespace {

// What is kept at the bottom of a stack for handling an overflow there: the
// dispatch passes every vectored handler of the process before it reaches
// ours, and the system's own few kilobytes do not always last.
constexpr ULONG k_overflow_reserve = 64 * 1024;

// A guard page just above the reserve, where the stack's pages are already
// committed (a main thread's stack may be committed whole, and an overflow
// leaves the rest committed): touched, it raises the overflow while the
// reserve is still free. Where the pages are only reserved, the system's
// own guard page moves down to the same place.
void arm_stack_guard() {
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const std::uintptr_t page = system.dwPageSize;
    volatile char here = 0;
    MEMORY_BASIC_INFORMATION stack;
    if (!VirtualQuery(const_cast<char*>(&here), &stack, sizeof stack)) return;
    const auto bottom = reinterpret_cast<std::uintptr_t>(stack.AllocationBase);
    const std::uintptr_t guard = bottom + page + k_overflow_reserve;
    if (guard + page > (reinterpret_cast<std::uintptr_t>(&here) & ~(page - 1))) return;
    MEMORY_BASIC_INFORMATION at;
    if (!VirtualQuery(reinterpret_cast<void*>(guard), &at, sizeof at) || at.State != MEM_COMMIT ||
        (at.Protect & PAGE_GUARD))
        return;
    DWORD old = 0;
    VirtualProtect(reinterpret_cast<void*>(guard), page, PAGE_READWRITE | PAGE_GUARD, &old);
}

}  // namespace

void prepare_thread_for_faults() {
    ULONG reserve = k_overflow_reserve;
    SetThreadStackGuarantee(&reserve);
    arm_stack_guard();
}

// An overflow used the guard page up, and without one the next overflow on
// this thread could not be contained.
void recover_from_fault(const plugin_fault& fault) {
    if (fault.code == EXCEPTION_STACK_OVERFLOW) arm_stack_guard();
}

#if defined(__x86_64__)

// x64 unwinds by tables: the guard is a small function whose unwind data
// names our handler. The handler sees an exception on its way out of the
// plug-in before anything below the guard does. On a fault it does not
// unwind the plug-in's frames (their cleanups belong to another runtime,
// whose unwinder cannot finish an unwind aimed at us): it abandons them and
// has the system resume the thread (RtlRestoreContext, which ends the
// exception's dispatch properly) at the guard's recovery label with the
// stack pointer the guard had after its prologue. The guard saved every
// register the calling convention preserves, and the floating-point control
// words, before the call, and the recovery puts them back.
//
// Frame after the prologue (280 bytes, 16-byte aligned):
//   0..31 home space, 32 the fault record, 40..103 rbx rbp rdi rsi r12..r15,
//   104 MXCSR, 108 x87 control word (copied from the caller's fp_state, the
//   4th argument: reading the registers again costs more), 112..271
//   xmm6..xmm15.
extern "C" void orvane_guard_recover();
static_assert(offsetof(fp_state, mxcsr) == 0 && offsetof(fp_state, x87_control) == 4, "the guard copies these");

extern "C" EXCEPTION_DISPOSITION orvane_guard_handler(EXCEPTION_RECORD* record, void* establisher_frame,
                                                      CONTEXT* context, void*) {
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) return ExceptionContinueSearch;
    if (!is_plugin_fault(record->ExceptionCode)) return ExceptionContinueSearch;
    auto* fault = *reinterpret_cast<plugin_fault**>(static_cast<char*>(establisher_frame) + 32);
    fault->code = record->ExceptionCode;
    // Only the registers the recovery needs: a fault's context may announce
    // extended state that lives beyond the record and is not copied here.
    CONTEXT resume = *context;
    resume.ContextFlags = CONTEXT_CONTROL | CONTEXT_INTEGER;
    resume.Rsp = reinterpret_cast<DWORD64>(establisher_frame);
    resume.Rip = reinterpret_cast<DWORD64>(&orvane_guard_recover);
    RtlRestoreContext(&resume, nullptr);
    return ExceptionContinueSearch;  // not reached
}

asm(R"(
    .text
    .globl orvane_guarded_invoke
    .def orvane_guarded_invoke; .scl 2; .type 32; .endef
    .seh_proc orvane_guarded_invoke
orvane_guarded_invoke:
    subq $280, %rsp
    .seh_stackalloc 280
    .seh_endprologue
    movq %r8, 32(%rsp)
    movq %rbx, 40(%rsp)
    movq %rbp, 48(%rsp)
    movq %rdi, 56(%rsp)
    movq %rsi, 64(%rsp)
    movq %r12, 72(%rsp)
    movq %r13, 80(%rsp)
    movq %r14, 88(%rsp)
    movq %r15, 96(%rsp)
    movl (%r9), %eax
    movl %eax, 104(%rsp)
    movzwl 4(%r9), %eax
    movw %ax, 108(%rsp)
    movups %xmm6, 112(%rsp)
    movups %xmm7, 128(%rsp)
    movups %xmm8, 144(%rsp)
    movups %xmm9, 160(%rsp)
    movups %xmm10, 176(%rsp)
    movups %xmm11, 192(%rsp)
    movups %xmm12, 208(%rsp)
    movups %xmm13, 224(%rsp)
    movups %xmm14, 240(%rsp)
    movups %xmm15, 256(%rsp)
    movq %rcx, %rax
    movq %rdx, %rcx
    callq *%rax
    nop
    movl $1, %eax
    addq $280, %rsp
    ret
    .globl orvane_guard_recover
orvane_guard_recover:
    movq 40(%rsp), %rbx
    movq 48(%rsp), %rbp
    movq 56(%rsp), %rdi
    movq 64(%rsp), %rsi
    movq 72(%rsp), %r12
    movq 80(%rsp), %r13
    movq 88(%rsp), %r14
    movq 96(%rsp), %r15
    ldmxcsr 104(%rsp)
    fninit
    fldcw 108(%rsp)
    movups 112(%rsp), %xmm6
    movups 128(%rsp), %xmm7
    movups 144(%rsp), %xmm8
    movups 160(%rsp), %xmm9
    movups 176(%rsp), %xmm10
    movups 192(%rsp), %xmm11
    movups 208(%rsp), %xmm12
    movups 224(%rsp), %xmm13
    movups 240(%rsp), %xmm14
    movups 256(%rsp), %xmm15
    cld
    xorl %eax, %eax
    addq $280, %rsp
    ret
    .seh_handler orvane_guard_handler, @except
    .seh_endproc
)");

#elif defined(__i386__)

// x86 chains exception registrations through fs:[0]: the guard pushes one of
// its own with our handler and a jump buffer behind it. On a fault the
// handler first unwinds the registrations above ours (the system's own
// dispatcher record among them, and the plug-in's, whose handlers run their
// cleanups as they would for any handler below), as every x86 exception
// handler that resumes elsewhere must; then it jumps back into the guard,
// which puts the chain head back to what it was before the call.
namespace {

struct guard_registration {
    guard_registration* next;  // the two fields the system walks
    void* handler;
    plugin_fault* fault;
    void* jump[5];  // __builtin_setjmp's buffer
    std::uint32_t mxcsr;  // the floating-point control state before the call,
    std::uint16_t fpu_control;  // which a faulting plug-in may have left changed
};

guard_registration* chain_head() {
    guard_registration* head;
    asm volatile("movl %%fs:0, %0" : "=r"(head));
    return head;
}

void set_chain_head(guard_registration* head) { asm volatile("movl %0, %%fs:0" : : "r"(head) : "memory"); }

// Whether `size` bytes at `address` can be read without a fault.
bool readable(std::uintptr_t address, std::size_t size) {
    if (size > UINTPTR_MAX - address) return false;
    MEMORY_BASIC_INFORMATION info;
    for (std::uintptr_t at = address; at < address + size;) {
        if (!VirtualQuery(reinterpret_cast<const void*>(at), &info, sizeof info)) return false;
        const DWORD readable_protection = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                                          PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
        if (info.State != MEM_COMMIT || !(info.Protect & readable_protection) || (info.Protect & PAGE_GUARD))
            return false;
        at = reinterpret_cast<std::uintptr_t>(info.BaseAddress) + info.RegionSize;
    }
    return true;
}

// A plug-in built by our compiler for x86 unwinds its C++ exceptions with
// its own copy of the unwinder, which knows no frame but the plug-in's: one
// that leaves the plug-in ends in terminate and then in an abort, not in an
// exception we would see. The throw is still on the stack then, and so is
// the address of the exception's header, whose first eight bytes name the
// runtime that threw it ("GNUCC++" and a kind byte). Finding it between the
// abort and our registration tells the user what really happened.
bool cxx_exception_below(std::uintptr_t stack, std::uintptr_t registration) {
    constexpr std::uint64_t k_gcc_class = 0x474E5543432B2B00ull;  // "GNUCC++\0"
    constexpr std::size_t k_most_words = 64 * 1024;
    if (registration <= stack || !readable(stack, registration - stack)) return false;
    const auto* word = reinterpret_cast<const std::uintptr_t*>(stack);
    const std::size_t words = std::min<std::size_t>((registration - stack) / sizeof *word, k_most_words);
    for (std::size_t i = 0; i < words; ++i) {
        const std::uintptr_t candidate = word[i];
        if (candidate % alignof(std::uint64_t) || !readable(candidate, sizeof(std::uint64_t))) continue;
        const std::uint64_t exception_class = *reinterpret_cast<const std::uint64_t*>(candidate);
        if ((exception_class & ~std::uint64_t{0xFF}) == k_gcc_class && (exception_class & 0xFF) <= 1) return true;
    }
    return false;
}

bool aborted_by_runtime(const EXCEPTION_RECORD* record) {
    return record->ExceptionCode == k_signal_exception && record->NumberParameters >= 1 &&
           record->ExceptionInformation[0] == SIGABRT;
}

extern "C" EXCEPTION_DISPOSITION __cdecl orvane_guard_handler(EXCEPTION_RECORD* record, void* frame,
                                                             CONTEXT* context, void*) {
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) return ExceptionContinueSearch;
    if (!is_plugin_fault(record->ExceptionCode)) return ExceptionContinueSearch;
    auto* registration = static_cast<guard_registration*>(frame);
    registration->fault->code = record->ExceptionCode;
    if (aborted_by_runtime(record) && cxx_exception_below(context->Esp, reinterpret_cast<std::uintptr_t>(frame)))
        registration->fault->code = k_cxx_exception_gcc;
    RtlUnwind(frame, nullptr, record, nullptr);
    __builtin_longjmp(registration->jump, 1);
}

}  // namespace

extern "C" __attribute__((noinline)) int orvane_guarded_invoke(void (*call)(void*), void* context,
                                                                plugin_fault* fault, const fp_state* before) {
    volatile guard_registration registration;
    registration.fault = fault;
    registration.handler = reinterpret_cast<void*>(&orvane_guard_handler);
    registration.next = chain_head();
    registration.fpu_control = before->x87_control;
    registration.mxcsr = before->mxcsr;
    if (__builtin_setjmp(const_cast<void**>(registration.jump))) {
        set_chain_head(registration.next);
        asm volatile("fninit\n\tfldcw %0" : : "m"(registration.fpu_control));
        asm volatile("ldmxcsr %0" : : "m"(registration.mxcsr));
        return 0;
    }
    set_chain_head(const_cast<guard_registration*>(&registration));
    call(context);
    set_chain_head(registration.next);
    return 1;
}

#else
#error "no plug-in guard for this processor"
#endif

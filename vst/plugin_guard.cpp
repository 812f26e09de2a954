#include "plugin_guard.h"

#include <windows.h>

namespace {

// The codes our own code raises for C++ exceptions (the compiler's runtime
// and the other common one) and for a routed runtime signal.
constexpr std::uint32_t k_cxx_exception_gcc = 0x20474343;
constexpr std::uint32_t k_cxx_exception_msvc = 0xE06D7363;
constexpr std::uint32_t k_signal_exception = 0x6F8E1DC8;

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
        case k_cxx_exception_msvc: return "C++ exception";
        case k_signal_exception: return "abort";
        default: return "exception";
    }
}

#if defined(__x86_64__)

// x64 unwinds by tables: the guard is a small function whose unwind data
// names the system's C scope handler with one scope around the call. The
// handler asks our filter; on a fault it unwinds the plug-in's frames and
// resumes at the recovery label with the stack as it was after our prologue.
// The fault record's address is kept in our frame, where the filter finds it
// through the establisher frame (the stack pointer after the prologue).
extern "C" LONG orvane_guard_filter(EXCEPTION_POINTERS* pointers, void* establisher_frame) {
    const std::uint32_t code = pointers->ExceptionRecord->ExceptionCode;
    if (!is_plugin_fault(code)) return EXCEPTION_CONTINUE_SEARCH;
    auto* fault = *reinterpret_cast<plugin_fault**>(static_cast<char*>(establisher_frame) + 32);
    fault->code = code;
    return EXCEPTION_EXECUTE_HANDLER;
}

asm(R"(
    .text
    .globl orvane_guarded_invoke
    .def orvane_guarded_invoke; .scl 2; .type 32; .endef
    .seh_proc orvane_guarded_invoke
orvane_guarded_invoke:
    subq $40, %rsp
    .seh_stackalloc 40
    .seh_endprologue
    movq %r8, 32(%rsp)
    movq %rcx, %rax
    movq %rdx, %rcx
.Lorvane_guard_begin:
    callq *%rax
    nop
.Lorvane_guard_end:
    movl $1, %eax
    addq $40, %rsp
    ret
.Lorvane_guard_recover:
    xorl %eax, %eax
    addq $40, %rsp
    ret
    .seh_handler __C_specific_handler, @except
    .seh_handlerdata
    .long 1
    .rva .Lorvane_guard_begin, .Lorvane_guard_end, orvane_guard_filter, .Lorvane_guard_recover
    .text
    .seh_endproc
)");

#elif defined(__i386__)

// x86 chains exception registrations through fs:[0]: the guard pushes one of
// its own with our handler and a jump buffer behind it. On a fault the
// handler jumps back into the guard, which puts the chain head back to what
// it was before the call; the plug-in's abandoned registrations above ours
// go with their stack.
namespace {

struct guard_registration {
    guard_registration* next;  // the two fields the system walks
    void* handler;
    plugin_fault* fault;
    void* jump[5];  // __builtin_setjmp's buffer
};

guard_registration* chain_head() {
    guard_registration* head;
    asm volatile("movl %%fs:0, %0" : "=r"(head));
    return head;
}

void set_chain_head(guard_registration* head) { asm volatile("movl %0, %%fs:0" : : "r"(head) : "memory"); }

extern "C" EXCEPTION_DISPOSITION __cdecl orvane_guard_handler(EXCEPTION_RECORD* record, void* frame, CONTEXT*,
                                                             void*) {
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) return ExceptionContinueSearch;
    if (!is_plugin_fault(record->ExceptionCode)) return ExceptionContinueSearch;
    auto* registration = static_cast<guard_registration*>(frame);
    registration->fault->code = record->ExceptionCode;
    __builtin_longjmp(registration->jump, 1);
}

}  // namespace

extern "C" __attribute__((noinline)) int orvane_guarded_invoke(void (*call)(void*), void* context,
                                                                plugin_fault* fault) {
    volatile guard_registration registration;
    registration.fault = fault;
    registration.handler = reinterpret_cast<void*>(&orvane_guard_handler);
    registration.next = chain_head();
    if (__builtin_setjmp(const_cast<void**>(registration.jump))) {
        set_chain_head(registration.next);
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

#include "signal_routing.h"

#include <windows.h>

#include <csignal>
#include <initializer_list>

namespace {

void __cdecl raise_signal_exception(int signal_number) {
    ULONG_PTR argument = static_cast<ULONG_PTR>(signal_number);
    RaiseException(k_signal_exception_code, EXCEPTION_NONCONTINUABLE, 1, &argument);
}

// Older C runtimes lack the call, so it is looked up rather than imported:
// an import the runtime cannot satisfy would keep the DLL from loading.
void disable_abort_reporting() {
    using set_abort_behavior_fn = unsigned(__cdecl*)(unsigned, unsigned);
    const unsigned write_abort_msg = 0x1, call_report_fault = 0x2;
    for (const wchar_t* crt : {L"msvcrt.dll", L"ucrtbase.dll"}) {
        HMODULE module = GetModuleHandleW(crt);
        if (!module) continue;
        auto fn = reinterpret_cast<set_abort_behavior_fn>(
            reinterpret_cast<void*>(GetProcAddress(module, "_set_abort_behavior")));
        if (fn) fn(0, write_abort_msg | call_report_fault);
    }
}

}  // namespace

void route_runtime_signals() {
    for (int s : {2, 15, 21, 22}) std::signal(s, raise_signal_exception);
    disable_abort_reporting();
}

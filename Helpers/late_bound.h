#pragma once
// A system function called through a pointer looked up the first time it is
// needed, its DLL then kept loaded for the rest of the process.
//
// The common dialogs, the common controls and the theme library serve only
// windows; imported, they are loaded with every process that loads the
// component or starts the tool, and under Wine loading them brings up the
// display driver, a tenth of a second or more that a run showing no window
// should not pay.
#include <windows.h>

#include <atomic>
#include <string>
#include <type_traits>

namespace late_bound_detail {

// LoadLibraryW, then GetProcAddress: the address, or null when the DLL
// cannot be loaded or has no such function. A DLL that was loaded stays
// loaded: the address must stay valid for the process.
FARPROC resolve(const wchar_t* library, const char* function) noexcept;

// What is missing, for a message: the DLL or the function in it.
std::string describe_failure(const wchar_t* library, const char* function);

}  // namespace late_bound_detail

template <typename Function>
class late_bound {
    static_assert(std::is_pointer_v<Function> && std::is_function_v<std::remove_pointer_t<Function>>,
                  "a pointer to a function, with its calling convention (WINAPI)");

public:
    // Constant-initialised, so a namespace-scope object is ready before any
    // other file's static initialisation can call it.
    constexpr late_bound(const wchar_t* library, const char* function) noexcept
        : library_(library), function_(function) {}
    late_bound(const late_bound&) = delete;
    late_bound& operator=(const late_bound&) = delete;

    // The function, or null when its DLL or the function itself is missing:
    // the caller reports failure() and goes on without it. Looked up once;
    // two threads asking first at the same time both find the same address.
    Function get() const noexcept {
        if (!looked_up_.load(std::memory_order_acquire)) {
            // void (*)() stands for any function type in a cast.
            auto any = reinterpret_cast<void (*)()>(late_bound_detail::resolve(library_, function_));
            address_.store(reinterpret_cast<Function>(any), std::memory_order_relaxed);
            looked_up_.store(true, std::memory_order_release);
        }
        return address_.load(std::memory_order_relaxed);
    }

    // After get() answered null: why, in one sentence without a full stop.
    std::string failure() const { return late_bound_detail::describe_failure(library_, function_); }

private:
    const wchar_t* library_;
    const char* function_;
    mutable std::atomic<Function> address_{nullptr};
    mutable std::atomic<bool> looked_up_{false};
};

#pragma once
// The player's shared library, shared.dll: the exception filter its windows
// use around every message, labelled call-stack scopes for its crash
// reports, and the system's text of a Win32 error code. The player loads it
// before any component, so components import it like a system DLL.
#include <windows.h>

#include <cstddef>

#include "string_base.h"

#ifdef ORVANE_BUILDING_SHARED
#define SHARED_EXPORT __declspec(dllexport)
#else
#define SHARED_EXPORT __declspec(dllimport)
#endif

extern "C" {
// Decides what happens to an exception raised while a window handled a
// message: EXCEPTION_EXECUTE_HANDLER lets the guard end the message,
// EXCEPTION_CONTINUE_SEARCH passes it on.
SHARED_EXPORT LONG __cdecl uExceptFilterProc(EXCEPTION_POINTERS* param);
// The system's message for `code`, without the trailing line break; FALSE
// when the system has none.
SHARED_EXPORT BOOL __cdecl uFormatSystemErrorMessage(string_base& out, DWORD code);
}

// Names what the thread is doing while the object lives; a crash report
// lists the labels in place.
class SHARED_EXPORT uCallStackTracker {
public:
    explicit uCallStackTracker(const char* label);
    ~uCallStackTracker();
    uCallStackTracker(const uCallStackTracker&) = delete;
    uCallStackTracker& operator=(const uCallStackTracker&) = delete;

private:
    std::size_t depth_;
};

// A C++ exception handed to uExceptFilterProc: this code, and as its one
// parameter the address of a NUL-terminated UTF-8 description.
inline constexpr DWORD k_cpp_exception_code = 0x20474343;

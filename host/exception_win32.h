#pragma once
// A failed Win32 call, raised the way the player raises it.
#include <windows.h>

#include <string>

#include "exceptions.h"
#include "shared.h"

// "Undefined error" for 0, the system's text, or "Unknown error code (N)".
inline std::string format_win32_error(DWORD code) {
    if (code == 0) return "Undefined error";
    string8 text;
    if (uFormatSystemErrorMessage(text, code)) return text.str();
    return "Unknown error code (" + std::to_string(code) + ")";
}

class exception_win32 : public host_exception {
public:
    explicit exception_win32(DWORD code) : host_exception(format_win32_error(code)), code_(code) {}
    DWORD code() const { return code_; }

    // Throws for `code` with the call-stack label "Win32 error #<code>" in place.
    [[noreturn]] static void raise(DWORD code) {
        const std::string label = "Win32 error #" + std::to_string(code);
        uCallStackTracker tracker(label.c_str());
        throw exception_win32(code);
    }

private:
    DWORD code_;
};

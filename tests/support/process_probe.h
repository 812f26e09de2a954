#pragma once
// Whether a process (a bridge, say) has ended, by its id.
#include <windows.h>

inline bool process_gone(DWORD id) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
    if (!process) return true;
    const bool gone = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    CloseHandle(process);
    return gone;
}

// Under Wine the first window of a session starts the desktop process, and
// it goes again when the last program leaves. A measured program that
// touches the display (a window, or a windowing library loaded) would pay
// that start, which a player in a running desktop session never does.
#include <windows.h>

#include "benches.h"

int hold_desktop(unsigned seconds) {
    HWND window = CreateWindowExW(0, L"STATIC", L"orvane bench", 0, 0, 0, 1, 1, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    const ULONGLONG end = GetTickCount64() + 1000ull * seconds;
    MSG msg;
    while (GetTickCount64() < end) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 200, QS_ALLINPUT);
    }
    if (window) DestroyWindow(window);
    return 0;
}

#include "exit_cleanup.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "../Helpers/folders.h"
#include "../host/signal_exception.h"

namespace {

// A handful of paths is all a run makes; fixed storage needs no allocation
// inside the filter, where another thread may hold the heap's lock.
constexpr int k_slots = 8;
constexpr std::size_t k_path_units = 32768;

struct registered {
    bool used = false;
    wchar_t path[k_path_units];
};
registered g_slots[k_slots];
SRWLOCK g_lock = SRWLOCK_INIT;

void remove_path(const wchar_t* path) {
    DWORD attr = GetFileAttributesW(path);
    if (attr == INVALID_FILE_ATTRIBUTES) return;
    if (attr & FILE_ATTRIBUTE_DIRECTORY) remove_folder_tree(path);
    else DeleteFileW(path);
}

void write_stderr(const char* text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
}

// Shared, not exclusive: a thread stopped while registering must not keep
// the cleanup from running.
void remove_registered() {
    if (!TryAcquireSRWLockShared(&g_lock)) return;
    for (registered& r : g_slots)
        if (r.used) remove_path(r.path);
    ReleaseSRWLockShared(&g_lock);
}

LONG WINAPI last_chance(EXCEPTION_POINTERS* info) {
    remove_registered();
    const EXCEPTION_RECORD* record = info ? info->ExceptionRecord : nullptr;
    if (record && record->ExceptionCode == k_signal_exception_code && record->NumberParameters >= 1) {
        const int signal_number = static_cast<int>(record->ExceptionInformation[0]);
        write_stderr(signal_number == 2 || signal_number == 21 ? "\norvane: interrupted\n" : "\norvane: stopped\n");
        TerminateProcess(GetCurrentProcess(), static_cast<UINT>(interrupted_exit_code(signal_number)));
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

void install_exit_cleanup() { SetUnhandledExceptionFilter(last_chance); }

void end_now(const std::string& text, int exit_code) {
    remove_registered();
    std::fflush(stdout);
    write_stderr(("orvane: error: " + text + "\n").c_str());
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(exit_code));
    ExitProcess(static_cast<UINT>(exit_code));  // not reached
}

exit_cleanup::exit_cleanup(std::wstring path) {
    if (path.size() >= k_path_units) return;
    AcquireSRWLockExclusive(&g_lock);
    for (int i = 0; i < k_slots && slot_ < 0; ++i)
        if (!g_slots[i].used) {
            std::wmemcpy(g_slots[i].path, path.c_str(), path.size() + 1);
            g_slots[i].used = true;
            slot_ = i;
        }
    ReleaseSRWLockExclusive(&g_lock);
}

exit_cleanup::~exit_cleanup() { release(); }

void exit_cleanup::release() {
    if (slot_ < 0) return;
    AcquireSRWLockExclusive(&g_lock);
    g_slots[slot_].used = false;
    ReleaseSRWLockExclusive(&g_lock);
    slot_ = -1;
}

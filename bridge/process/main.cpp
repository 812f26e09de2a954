// orvane_bridge32.exe / orvane_bridge64.exe: hosts one VST 2.4 plug-in for a
// player whose component runs it in a process of its own. Started by the
// component with the name of a shared block it made (bridge/protocol.h);
// ends when the component says so, or when the player's process ends.
#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <thread>

#include "../../Helpers/alloc_count.h"
#include "../../vst/guard/signal_routing.h"
#include "bridge_link.h"
#include "plugin_slot.h"

namespace {

bridge::bridge_link* g_link = nullptr;

// A fault outside every guard (on a thread of the plug-in's own): this
// process ends at once, with the fault as its exit code, and the player
// switches the plug-in off, saying where. No crash dialog, no debugger.
LONG WINAPI end_on_unhandled(EXCEPTION_POINTERS* info) {
    const UINT code = info && info->ExceptionRecord ? info->ExceptionRecord->ExceptionCode : 1;
    if (g_link) g_link->end_for_fault(code, bridge::place_own_thread);
    bridge::bridge_link::end_now(code);
}

// How long closing the plug-in may take once the player let go of it or
// asked the process to end: then it ends regardless.
constexpr DWORD k_closing_ms = 10000;

// Once the player let go, nothing it waits for is left here: whatever the
// plug-in does, the process ends within the closing time.
DWORD WINAPI end_after_letting_go(void* link) {
    const auto& l = *static_cast<const bridge::bridge_link*>(link);
    while (!l.detached()) Sleep(200);
    Sleep(k_closing_ms);
    bridge::bridge_link::end_now(0);
}

DWORD WINAPI end_after_closing_time(void*) {
    Sleep(k_closing_ms);
    bridge::bridge_link::end_now(0);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(end_on_unhandled);
    route_runtime_signals();

    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2) return 2;
    const std::wstring base = argv[1];
    LocalFree(argv);

    // The benchmark's question: does serving audio allocate? Asked through
    // the environment, so that nothing of it runs otherwise.
    wchar_t counting[4] = {};
    const bool count = GetEnvironmentVariableW(L"ORVANE_BRIDGE_COUNT_ALLOCATIONS", counting, 4) && counting[0] == L'1';
    if (count) count_allocations_in(GetModuleHandleW(nullptr));

    bridge::bridge_link link;
    if (!link.open(base)) return 3;
    g_link = &link;
    if (count) link.count_audio_allocations();
    // And what would a fixed spin before the audio thread sleeps cost?
    wchar_t spin[12] = {};
    if (GetEnvironmentVariableW(L"ORVANE_BRIDGE_AUDIO_SPIN_US", spin, 12) && spin[0])
        link.fix_audio_spin(std::min<std::uint32_t>(static_cast<std::uint32_t>(std::wcstoul(spin, nullptr, 10)), 100000));
    bridge::plugin_slot slot(link);
    link.set_handler(slot);
    std::thread([&link] { link.run_audio_lane(); }).detach();
    CloseHandle(CreateThread(nullptr, 0, end_after_letting_go, &link, 0, nullptr));
    link.run_control_lane(slot.quit());
    // The player closed the plug-in, or let go of it and left that to us:
    // never longer than the closing time.
    CloseHandle(CreateThread(nullptr, 0, end_after_closing_time, nullptr, 0, nullptr));
    slot.close();
    // Its DLL is unloaded as the process ends, as the player would unload it.
    ExitProcess(0);
}

// orvane_bench: the parts of the benchmark that run inside a Windows
// process. tools/bench.sh runs them and the whole-job comparison.
#include <cstdio>
#include <cwchar>
#include <exception>
#include <string>

#include "benches.h"

namespace {

const char k_usage[] =
    "usage: orvane_bench COMMAND\n"
    "  audio [REPS [FRAMES]]               audio path per chunk against its floor (FRAMES: that length only)\n"
    "  acquire [REPS]                      acquire_vst against a bare load of the DLL\n"
    "  isolated [REPS]                     a plug-in in its own process against in ours\n"
    "  restart [FAULTS]                    a plug-in in its own process restarted after its process ends\n"
    "  scan [REPS]                         a folder of 100 DLLs scanned: 2 checks at a time, and a rescan\n"
    "  tool-allocs PROFILE SHORT LONG OUT  heap allocations of the tool's processing loop\n"
    "  make-wav PATH SECONDS               a stereo float test file\n"
    "  check                               fast conversion loops against the plain ones\n"
    "  hold SECONDS                        keep Wine's desktop up while the benchmark runs\n";

int repetitions(int argc, wchar_t** argv) {
    int n = argc > 2 ? static_cast<int>(std::wcstol(argv[2], nullptr, 10)) : 9;
    return n > 0 && n < 1000 ? n : 9;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    try {
        const std::wstring command = argc > 1 ? argv[1] : L"";
        if (command == L"audio")
            return bench_audio_path(repetitions(argc, argv),
                                    argc > 3 ? static_cast<std::uint32_t>(std::wcstoul(argv[3], nullptr, 10)) : 0);
        if (command == L"acquire") return bench_acquire(repetitions(argc, argv));
        if (command == L"isolated") return bench_isolation(repetitions(argc, argv));
        if (command == L"restart") return bench_restart(repetitions(argc, argv));
        if (command == L"scan") return bench_scan(repetitions(argc, argv));
        if (command == L"tool-allocs" && argc == 6) return bench_tool_allocations(argv[2], argv[3], argv[4], argv[5]);
        if (command == L"make-wav" && argc == 4)
            return make_wav(argv[2], static_cast<unsigned>(std::wcstoul(argv[3], nullptr, 10)));
        if (command == L"check") return check_layout();
        if (command == L"hold" && argc == 3) return hold_desktop(static_cast<unsigned>(std::wcstoul(argv[2], nullptr, 10)));
        std::fputs(k_usage, stderr);
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    }
}

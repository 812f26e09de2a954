// The tool's own processing loop, run in this process so that its heap
// allocations can be counted, together with the component DLL's.
#include "../cli/process_job.h"
#include "../cli/session.h"
#include "../Helpers/alloc_count.h"
#include "bench_table.h"
#include "benches.h"

namespace {

struct counted_run {
    std::uint64_t allocations = 0;
    std::uint64_t chunks = 0;
};

counted_run run(const std::wstring& profile, const std::wstring& input, const std::wstring& output) {
    tool_options options;
    options.profile_folder = profile;
    options.quiet = true;
    session s(options);
    s.player();  // start-up allocations are not the loop's
    const std::uint64_t before = allocation_count();
    process_result r = run_process_job(s, input, output);
    counted_run c;
    c.allocations = allocation_count() - before;
    c.chunks = (r.frames + options.chunk_frames - 1) / options.chunk_frames;
    return c;
}

}  // namespace

int bench_tool_allocations(const std::wstring& profile, const std::wstring& short_wav, const std::wstring& long_wav,
                           const std::wstring& output) {
    // The session loads the DLL again and finds this already patched copy.
    HMODULE component = LoadLibraryW((tool_folder() + L"vel_vst.dll").c_str());
    if (!component) {
        std::fprintf(stderr, "cannot load vel_vst.dll\n");
        return 1;
    }
    count_allocations_in(GetModuleHandleW(nullptr));
    count_allocations_in(component);
    run(profile, short_wav, output);  // the first run sets up the runtime's own state
    const counted_run a = run(profile, short_wav, output);
    const counted_run b = run(profile, long_wav, output);
    const std::uint64_t extra = b.allocations > a.allocations ? b.allocations - a.allocations : 0;
    print_count_row("Allocations, tool loop", "orvane process, per extra chunk", extra, b.chunks - a.chunks);
    FreeLibrary(component);
    return 0;
}

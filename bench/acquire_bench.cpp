// acquire_vst for a key no live instance has (construct, validate, apply a
// preset with nothing but its key) and its release_vst, against the bare calls a
// host cannot do with less: load the DLL, call its entry, effOpen, effClose,
// unload.
#include "../host/dsp_preset.h"
#include "../Helpers/utf.h"
#include "../plugin_api/aeffect.h"
#include "../vst/vst.h"
#include "../vst/vst_ref.h"
#include "bench_host.h"
#include "bench_table.h"
#include "benches.h"

namespace {

// The test plug-in's runtime (x86) takes a thread-local slot of the
// process's 1088 at every load and never gives it back, and the load after
// the last one aborts: 20 pairs a sample keep the default repetitions to
// some 600 loads.
constexpr int k_per_sample = 20;

std::intptr_t VSTCALL silent_host(AEffect*, std::int32_t, std::int32_t, std::intptr_t, void*, float) { return 0; }

bool bare_load(const std::wstring& path) {
    HMODULE module = LoadLibraryW(path.c_str());
    if (!module) return false;
    auto main_proc = reinterpret_cast<VstPluginMainProc>(
        reinterpret_cast<void*>(GetProcAddress(module, "VSTPluginMain")));
    AEffect* effect = main_proc ? main_proc(silent_host) : nullptr;
    if (effect) {
        effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
        effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    }
    FreeLibrary(module);
    return effect != nullptr;
}

}  // namespace

int bench_acquire(int repetitions) {
    bench_host host;
    const std::wstring path = pass_through_dll(2);
    const entry configured(wide_to_utf8(path));
    std::uint32_t key = 0x10000;
    bool ok = true;
    auto component = [&] {
        ++key;
        dsp_preset_impl preset;
        preset.set_data(&key, sizeof key);
        vst_ref plugin(configured, preset);
        ok = ok && plugin->loaded && plugin->ref_count == 1;
    };
    auto baseline = [&] { ok = bare_load(path) && ok; };
    component();
    baseline();
    // Pairs alternate one by one, so that a change in the machine's load
    // falls on both sides.
    timings floor_times, component_times;
    for (int r = 0; r < repetitions; ++r) {
        double bare = 0.0, acquired = 0.0;
        for (int i = 0; i < k_per_sample; ++i) {
            const double t0 = now_seconds();
            baseline();
            const double t1 = now_seconds();
            component();
            bare += t1 - t0;
            acquired += now_seconds() - t1;
        }
        floor_times.add(bare / k_per_sample);
        component_times.add(acquired / k_per_sample);
    }
    print_ratio_row("Acquire an instance", "fresh key, 2 ch", floor_times, component_times, 1.1);
    if (!ok) std::fprintf(stderr, "a plug-in failed to load during the benchmark\n");
    return ok ? 0 : 1;
}

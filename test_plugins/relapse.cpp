// A plug-in that stops on its Nth block, as many times as a test says,
// counting across processes: every fresh process of its own runs the same
// code, so what has happened already lives in a file the test names
// (ORVANE_TEST_RELAPSE_FILE, holding "faults-left faults-done"). The block
// is ORVANE_TEST_RELAPSE_BLOCK (from 1; 40 when unset). Built once per way
// of stopping (RELAPSE). Until it stops it multiplies its input by its Gain
// parameter, so whether a chunk went through it, and with which settings,
// shows in every sample.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/test_plugin.h"

#define RELAPSE_CRASH 1      // an access violation
#define RELAPSE_LOOP 2       // never returns
#define RELAPSE_EXIT 3       // ends its process
// Crashes on its block as RELAPSE_CRASH does, and once it has, in every
// effSetChunk (the state it is given back).
#define RELAPSE_SET_CHUNK 4

namespace {

int* volatile g_null = nullptr;
volatile bool g_forever = true;

std::string environment(const char* name) {
    char value[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n && n < sizeof value ? std::string(value, n) : std::string();
}

struct fault_count {
    int left = 0;
    int done = 0;
};

fault_count read_count() {
    fault_count c;
    const std::string path = environment("ORVANE_TEST_RELAPSE_FILE");
    if (path.empty()) return c;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        if (std::fscanf(f, "%d %d", &c.left, &c.done) != 2) c = {};
        std::fclose(f);
    }
    return c;
}

void write_count(const fault_count& c) {
    const std::string path = environment("ORVANE_TEST_RELAPSE_FILE");
    if (std::FILE* f = path.empty() ? nullptr : std::fopen(path.c_str(), "wb")) {
        std::fprintf(f, "%d %d", c.left, c.done);
        std::fclose(f);
    }
}

// Counts the fault before it happens: a process that ends cannot count after.
bool take_a_fault() {
    fault_count c = read_count();
    if (c.left <= 0) return false;
    --c.left;
    ++c.done;
    write_count(c);
    return true;
}

__attribute__((noinline)) void stop_here() {
#if RELAPSE == RELAPSE_LOOP
    while (g_forever) Sleep(1);
#elif RELAPSE == RELAPSE_EXIT
    ExitProcess(3);
#else
    *g_null = 1;
#endif
}

class relapse_plugin final : public test_plugin {
public:
    explicit relapse_plugin(audioMasterCallback host)
        : test_plugin(host, {0x4F52656C /* ORel */, 2, 2, 1,
                             effFlagsCanReplacing | (RELAPSE == RELAPSE_SET_CHUNK ? effFlagsProgramChunks : 0), 1,
                             "Relapse", "Orvane Labs"}) {
        const int block = std::atoi(environment("ORVANE_TEST_RELAPSE_BLOCK").c_str());
        stop_at_ = block > 0 ? block : 40;
    }

    void process(float** in, float** out, std::int32_t frames) override {
        if (++blocks_ == stop_at_ && take_a_fault()) stop_here();
        for (int c = 0; c < 2; ++c)
            for (std::int32_t i = 0; i < frames; ++i) out[c][i] = in[c][i] * params_[0];
    }

    std::intptr_t dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                           float opt) override {
        if (opcode == effGetChunk) {
            chunk_ = params_[0];
            *static_cast<void**>(ptr) = &chunk_;
            return sizeof chunk_;
        }
        if (opcode == effSetChunk) {
            if (RELAPSE == RELAPSE_SET_CHUNK && read_count().done > 0) *g_null = 1;
            if (ptr && value == sizeof chunk_) std::memcpy(&params_[0], ptr, sizeof chunk_);
            return 1;
        }
        return test_plugin::dispatch(opcode, index, value, ptr, opt);
    }
    std::string parameter_name(std::int32_t) override { return "Gain"; }

private:
    int stop_at_ = 40;
    int blocks_ = 0;
    float chunk_ = 0.0f;
};

}  // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) { return (new relapse_plugin(host))->record(); }

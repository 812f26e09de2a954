// A plug-in that does not crash but answers nonsense: built once per kind of
// nonsense (HOSTILE), each a DLL of its own.
#include <cstring>

#include "common/test_plugin.h"

#define PARAMS_NEGATIVE 1
#define PARAMS_HUGE 2
#define CHUNK_NEGATIVE 3
#define CHUNK_HUGE 4
#define CHUNK_NULL 5
#define NO_PROCESS 6
#define MANY_INPUTS 7
#define OUTPUTS_VANISH 8
#define CHUNK_FLAG_FLIPS 9
#define STATIC_RECORD 10

namespace {

constexpr bool chunked = HOSTILE == CHUNK_NEGATIVE || HOSTILE == CHUNK_HUGE || HOSTILE == CHUNK_NULL ||
                         HOSTILE == CHUNK_FLAG_FLIPS;

plugin_shape shape() {
    plugin_shape s{0x4F486F73 /* OHos */, 2, 2, 4, effFlagsCanReplacing, 1, "Hostile", "Orvane Labs"};
    if (chunked) s.flags |= effFlagsProgramChunks;
    if (HOSTILE == MANY_INPUTS) s.inputs = 100000;
    return s;
}

class hostile_plugin final : public test_plugin {
public:
    explicit hostile_plugin(audioMasterCallback host) : test_plugin(host, shape()) {
        // Claimed after the base sized its parameter store for four.
        if (HOSTILE == PARAMS_NEGATIVE) effect_.numParams = -5;
        if (HOSTILE == PARAMS_HUGE) effect_.numParams = 10000000;
        if (HOSTILE == NO_PROCESS) effect_.processReplacing = nullptr;
    }
    std::intptr_t dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                           float opt) override {
        if (HOSTILE == OUTPUTS_VANISH && opcode == effMainsChanged) effect_.numOutputs = 0;
        if (opcode == effGetChunk) {
            auto** out = static_cast<void**>(ptr);
            switch (HOSTILE) {
                case CHUNK_NEGATIVE: *out = state_; return -16;
                case CHUNK_HUGE: *out = state_; return 0x7FFFFFFF;
                case CHUNK_NULL: *out = nullptr; return sizeof state_;
                case CHUNK_FLAG_FLIPS:
                    // Chunks at capture, parameters by the time it is restored.
                    effect_.flags &= ~effFlagsProgramChunks;
                    *out = state_;
                    return sizeof state_;
                default: break;
            }
        }
        return test_plugin::dispatch(opcode, index, value, ptr, opt);
    }

private:
    unsigned char state_[64] = {1, 2, 3, 4, 5, 6, 7, 8};
};

}  // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    if (HOSTILE == STATIC_RECORD) {
        // Every caller gets the one record there is.
        static AEffect* const only = (new hostile_plugin(host))->record();
        return only;
    }
    return (new hostile_plugin(host))->record();
}

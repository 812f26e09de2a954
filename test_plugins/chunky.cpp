// Keeps its state in chunks: a bank chunk (index 0) and a program chunk
// (index 1) that differ, so tests can tell which one was asked for.
#include <mutex>

#include "common/test_plugin.h"

namespace {

std::mutex g_mutex;
std::vector<unsigned char> g_last_set[2];  // what effSetChunk delivered last, by index
bool g_empty_bank = false;

std::vector<unsigned char> pattern(char tag, std::size_t size) {
    std::vector<unsigned char> v(size);
    for (std::size_t i = 0; i < size; ++i) v[i] = static_cast<unsigned char>(tag + i);
    return v;
}

class chunky_plugin final : public test_plugin {
public:
    explicit chunky_plugin(audioMasterCallback host)
        : test_plugin(host, {0x4F43686B /* OChk */, 2, 2, 1, effFlagsCanReplacing | effFlagsProgramChunks, 1,
                             "Chunky", "Orvane Labs"}),
          chunks_{pattern('B', 64), pattern('P', 100)} {}

    std::intptr_t dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                           float opt) override {
        if ((opcode == effGetChunk || opcode == effSetChunk) && (index < 0 || index > 1)) return 0;
        std::lock_guard<std::mutex> lock(g_mutex);
        if (opcode == effGetChunk) {
            std::vector<unsigned char>& c = chunks_[index];
            if (index == 0 && g_empty_bank) {
                *static_cast<void**>(ptr) = nullptr;
                return 0;
            }
            *static_cast<void**>(ptr) = c.data();
            return static_cast<std::intptr_t>(c.size());
        }
        if (opcode == effSetChunk) {
            const auto* p = static_cast<const unsigned char*>(ptr);
            chunks_[index].assign(p, p + value);
            g_last_set[index] = chunks_[index];
            return 1;
        }
        return test_plugin::dispatch(opcode, index, value, ptr, opt);
    }

private:
    std::vector<unsigned char> chunks_[2];
};

}  // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) { return (new chunky_plugin(host))->record(); }

// Test hooks.
TEST_PLUGIN_EXPORT std::size_t chunky_last_set(int index, unsigned char* out, std::size_t capacity) {
    std::lock_guard<std::mutex> lock(g_mutex);
    const std::vector<unsigned char>& c = g_last_set[index & 1];
    for (std::size_t i = 0; i < c.size() && i < capacity; ++i) out[i] = c[i];
    return c.size();
}
TEST_PLUGIN_EXPORT void chunky_set_empty_bank(int empty) { g_empty_bank = empty != 0; }

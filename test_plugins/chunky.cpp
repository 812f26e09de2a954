// Keeps its state in chunks: a bank chunk (index 0) and a program chunk
// (index 1) that differ, so tests can tell which one was asked for. Logs
// what effSetChunk delivers as "set chunk INDEX SIZE HASH" (log_hash).
// effVendorSpecific with index k_empty_bank and value 1 makes it answer an
// empty bank chunk from then on, value 0 its own again.
#include <cstdio>
#include <mutex>

#include "common/call_log.h"
#include "common/test_plugin.h"

namespace {

constexpr std::int32_t k_empty_bank = 0x4F456D70;  // "OEmp"

std::mutex g_mutex;
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
        if (opcode == k_effect_vendor_specific && index == k_empty_bank) {
            g_empty_bank = value != 0;
            return 1;
        }
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
            char line[64];
            std::snprintf(line, sizeof line, "set chunk %d %zu %08x", index, chunks_[index].size(),
                          log_hash(chunks_[index].data(), chunks_[index].size()));
            test_plugin_note(line);
            return 1;
        }
        return test_plugin::dispatch(opcode, index, value, ptr, opt);
    }

private:
    std::vector<unsigned char> chunks_[2];
};

}  // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) { return (new chunky_plugin(host))->record(); }


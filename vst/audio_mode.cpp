#include "audio_mode.h"

#include <atomic>

namespace {
std::atomic<bool> g_offline{false};
}  // namespace

bool audio_offline() { return g_offline.load(std::memory_order_relaxed); }
void set_audio_offline(bool offline) { g_offline.store(offline, std::memory_order_relaxed); }

#pragma once
#include <cstdint>

// A fresh instance key, 0 to 32767: the runtime's generator seeded with the
// millisecond tick count, so two keys made within one tick are equal.
std::uint32_t make_instance_key();

#include "instance_key.h"

#include <windows.h>

#include <cstdlib>

std::uint32_t make_instance_key() {
    std::srand(GetTickCount());
    return static_cast<std::uint32_t>(std::rand()) & 0x7FFF;
}

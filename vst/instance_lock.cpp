#include "instance_lock.h"

namespace {
// Created at static initialisation so no thread can race its construction.
critical_section& g_lock_at_load = instance_lock();
}  // namespace

critical_section& instance_lock() {
    static critical_section lock;
    return lock;
}

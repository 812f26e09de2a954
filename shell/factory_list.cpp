#include "factory_list.h"

namespace {
// Constant-initialised, so it is ready before any static registration runs.
service_factory_base* g_head = nullptr;
}  // namespace

service_factory_base* factory_list_head() { return g_head; }

void link_factory(service_factory_base& record) {
    record.next = g_head;
    g_head = &record;
}

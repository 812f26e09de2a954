#include "test_deadlines.h"

bridge_deadlines generous_test_deadlines() {
    bridge_deadlines d;
    d.late_minimum_ms = 5000;
    d.open_ms = 30000;
    d.call_ms = 30000;
    return d;
}

namespace {
// Before any test runs.
const bool g_generous = [] {
    set_bridge_deadlines(generous_test_deadlines());
    return true;
}();
}  // namespace

#pragma once
// The hang limits of bridged plug-ins in the unit tests. The tests of other
// behaviour must not fail because a loaded build machine held a process
// back for a fifth of a second: they run with generous ones, and the tests
// of the limits themselves set the component's own for their duration.
#include "../../bridge/player/hang_limits.h"

bridge_deadlines generous_test_deadlines();

class component_deadlines {
public:
    component_deadlines() { set_bridge_deadlines(bridge_deadlines{}); }
    ~component_deadlines() { set_bridge_deadlines(generous_test_deadlines()); }
    component_deadlines(const component_deadlines&) = delete;
    component_deadlines& operator=(const component_deadlines&) = delete;
};

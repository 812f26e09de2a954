#pragma once
// Turns the runtime's interrupt, termination, break and abort signals into a
// structured exception the host's crash handling can report, and keeps the
// runtime from showing its own abort box.
#include "../../host/signal_exception.h"

void route_runtime_signals();

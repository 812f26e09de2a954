#pragma once
// What the tool says when a plug-in keeps it from going on: which plug-in,
// where in the chain, and the call that has not returned, from the
// component's account of its instances.
#include <string>
#include <vector>

#include "../host/dsp_chain.h"
#include "script_receivers.h"

// The instance whose call has been running the longest, or null.
const instance_activity* longest_call(const std::vector<instance_activity>& instances);

// The chain position (from 1) whose preset selects the instance, by its
// identifier and key; 0 when the chain holds none.
std::size_t chain_position(const dsp_chain_config& chain, const instance_activity& instance);

// "chain position 2 (Orvane Gain)"; an instance the chain does not hold is
// named by its product or, while it is still loading, by its DLL.
std::string instance_name(const dsp_chain_config& chain, const instance_activity& instance);

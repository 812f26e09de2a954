#pragma once
// What the page says before it takes out plug-ins that positions of the
// player's DSP chain still use: after the restart those positions would no
// longer find their effect. The chain is the player's, so the page only asks.
#include <string>
#include <vector>

#include "../host/dsp_chain.h"
#include "../shell/entry.h"

inline constexpr char k_removal_title[] = "VST plug-ins";

// One line per plug-in that leaves the list with the removed records and
// that the chain uses, naming its positions (counted from 1), then the
// question; empty when there is nothing to ask. A plug-in listed twice stays
// while one of its records is kept.
std::string removal_warning(const dsp_chain_config& chain, const std::vector<const entry*>& removed,
                            const std::vector<const entry*>& kept);

#pragma once
// The two places a plug-in runs, for the tests of plug-in behaviour that
// must hold either way: in the player's process, and in a bridge process of
// its own.
#include <gtest/gtest.h>

#include <string>

#include "../../vst/isolation.h"
#include "../../vst/vst.h"

inline std::string place_name(const ::testing::TestParamInfo<plugin_place>& info) {
    return info.param == plugin_place::own_process ? "OwnProcess" : "InProcess";
}

#define ORVANE_IN_BOTH_PLACES(suite)                                                                           \
    INSTANTIATE_TEST_SUITE_P(Places, suite,                                                                    \
                             ::testing::Values(plugin_place::in_process, plugin_place::own_process), place_name)

// Whether the plug-in's code is still held: its DLL in this process, or its
// bridge process.
inline bool holds_plugin_code(const vst& v) { return v.module() != nullptr || v.bridge() != nullptr; }

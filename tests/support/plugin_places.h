#pragma once
// The two places a plug-in runs, for the tests of plug-in behaviour that
// must hold either way: in the player's process, and in a bridge process of
// its own.
#include <gtest/gtest.h>

#include <string>

#include "../../prefs/advanced_settings.h"
#include "../../vst/isolation.h"
#include "../../vst/vst.h"

inline std::string place_name(const ::testing::TestParamInfo<plugin_place>& info) {
    return info.param == plugin_place::own_process ? "OwnProcess" : "InProcess";
}

#define ORVANE_IN_BOTH_PLACES(suite)                                                                           \
    INSTANTIATE_TEST_SUITE_P(Places, suite,                                                                    \
                             ::testing::Values(plugin_place::in_process, plugin_place::own_process), place_name)

// Has every plug-in that the component acquires run in `place` while it
// lives, through the advanced setting that overrides the choice of each
// plug-in (for code that does not say where).
class isolation_choice {
public:
    explicit isolation_choice(plugin_place place) {
        every_plugin_in_own_process_setting().set_state(place == plugin_place::own_process);
    }
    ~isolation_choice() { every_plugin_in_own_process_setting().reset(); }
    isolation_choice(const isolation_choice&) = delete;
    isolation_choice& operator=(const isolation_choice&) = delete;
};

// Whether the plug-in's code is still held: its DLL in this process, or its
// bridge process.
inline bool holds_plugin_code(const vst& v) { return v.module() != nullptr || v.bridge() != nullptr; }

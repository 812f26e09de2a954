#pragma once
// A test plug-in loaded for use through the component's own code (for the
// unit tests, which link that code in).
#include <gtest/gtest.h>

#include <memory>

#include "../../vst/vst.h"
#include "plugin_hooks.h"

inline std::unique_ptr<vst> load_plugin(plugin_hooks& dll, plugin_place place = plugin_place::as_chosen) {
    auto v = std::make_unique<vst>(entry(dll.path_utf8()), false, place);
    EXPECT_TRUE(v->loaded) << v->diagnosis;
    return v;
}

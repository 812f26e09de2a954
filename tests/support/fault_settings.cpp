#include "fault_settings.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class both_off final : public ::testing::Environment {
public:
    void SetUp() override {
        restart_plugins_setting().set_state(false);
        isolate_after_crash_setting().set_state(false);
    }
};

// Before any test runs, once the component's settings exist.
::testing::Environment* const g_both_off = ::testing::AddGlobalTestEnvironment(std::make_unique<both_off>().release());

}  // namespace

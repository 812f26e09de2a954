#pragma once
// A test of the orvane tool: a profile folder of its own and a folder for
// the files it reads and writes.
#include <gtest/gtest.h>

#include "child_process.h"
#include "test_paths.h"

class ToolFixture : public ::testing::Test {
protected:
    // Runs the tool quietly on the test's profile.
    tool_run orvane(std::vector<std::wstring> a, const run_place& place = {}) {
        a.insert(a.begin(), {L"--profile", profile.path(), L"--quiet"});
        return run_orvane(a, place);
    }
    void ok(std::vector<std::wstring> a) {
        tool_run r = orvane(a);
        ASSERT_EQ(r.exit_code, 0) << r.err << r.out;
    }

    temp_folder profile;
    temp_folder files;
};

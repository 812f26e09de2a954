#pragma once
// The faults the relapse test plug-ins (test_plugins/relapse.cpp) still have
// to make, and have made, in the file they share with every process of
// theirs; the processes they run in inherit where it is from the
// environment, and on which block of each life they stop.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "test_paths.h"

class relapse_faults {
public:
    relapse_faults(int faults, int block) {
        const std::string text = std::to_string(faults) + " 0";
        write_file_bytes(path_, std::vector<unsigned char>(text.begin(), text.end()));
        SetEnvironmentVariableW(L"ORVANE_TEST_RELAPSE_FILE", path_.c_str());
        SetEnvironmentVariableW(L"ORVANE_TEST_RELAPSE_BLOCK", std::to_wstring(block).c_str());
    }
    ~relapse_faults() {
        SetEnvironmentVariableW(L"ORVANE_TEST_RELAPSE_FILE", nullptr);
        SetEnvironmentVariableW(L"ORVANE_TEST_RELAPSE_BLOCK", nullptr);
    }
    relapse_faults(const relapse_faults&) = delete;
    relapse_faults& operator=(const relapse_faults&) = delete;

    // The faults made so far (-1: the file is unreadable).
    int done() const {
        const std::vector<unsigned char> b = read_file_bytes(path_);
        int left = 0, made = -1;
        if (std::sscanf(std::string(b.begin(), b.end()).c_str(), "%d %d", &left, &made) != 2) return -1;
        return made;
    }

private:
    temp_folder folder_;
    std::wstring path_ = folder_.file(L"faults.txt");
};

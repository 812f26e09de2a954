#pragma once
// An error the tool reports on one line before it exits with a failure.
#include <stdexcept>
#include <string>

class cli_error : public std::runtime_error {
public:
    explicit cli_error(const std::string& message, int exit_code = 1)
        : std::runtime_error(message), exit_code_(exit_code) {}
    int exit_code() const { return exit_code_; }

private:
    int exit_code_;
};

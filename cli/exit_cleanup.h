#pragma once
// Files and folders the tool made for itself and must not leave behind, even
// when the run is cut short: Ctrl+C and the other runtime signals reach the
// tool as a structured exception that nothing handles (on whatever thread
// the signal arrived), and the last-chance filter installed here removes
// what is registered before the process ends.
#include <string>

// Installs the filter; the tool calls it once at start.
void install_exit_cleanup();

// Registers a file or a folder (removed with its contents) for as long as
// the object lives. release() keeps the path: the work succeeded.
class exit_cleanup {
public:
    explicit exit_cleanup(std::wstring path);
    ~exit_cleanup();
    exit_cleanup(const exit_cleanup&) = delete;
    exit_cleanup& operator=(const exit_cleanup&) = delete;
    void release();

private:
    int slot_ = -1;
};

// The exit code of a run ended by signal N: 128 + N, as shells report it.
inline constexpr int interrupted_exit_code(int signal_number) { return 128 + signal_number; }

// Ends the run at once, from any thread, when a thread of it cannot be
// waited for (it is stuck inside a plug-in, or a plug-in ended it): removes
// what is registered, writes "orvane: error: TEXT" and ends the process
// without running anything else, since the stuck thread may hold any lock.
[[noreturn]] void end_now(const std::string& text, int exit_code);

// The exit code of a run that a plug-in stopped from making progress.
inline constexpr int k_stalled_exit_code = 124;

#pragma once
// The benchmark's parts; each prints its table rows and answers the
// program's exit code.
#include <cstdint>
#include <string>

// `only_frames`: one chunk length alone (0: all of them), for a profiler.
int bench_audio_path(int repetitions, std::uint32_t only_frames = 0);
int bench_acquire(int repetitions);
// A pass-through plug-in in a process of its own against in the player's.
int bench_isolation(int repetitions);
// A pass-through plug-in in a process of its own, restarted after its
// process is ended `faults` times.
int bench_restart(int faults);
// A folder of 100 DLLs scanned with two checks at a time against one, and
// rescanned unchanged.
int bench_scan(int repetitions);
// Heap allocations of the tool's processing loop: one run of a short and
// one of a long file, the difference over the difference in chunks.
int bench_tool_allocations(const std::wstring& profile, const std::wstring& short_wav, const std::wstring& long_wav,
                           const std::wstring& output);
// A stereo 32-bit float WAV at 44.1 kHz of the given length.
int make_wav(const std::wstring& path, unsigned seconds);
// The fast conversion loops against the plain ones, bit for bit.
int check_layout();
// Keeps a hidden window, and with it Wine's desktop process, for up to the
// given time, so that no measured program pays for starting the desktop.
int hold_desktop(unsigned seconds);

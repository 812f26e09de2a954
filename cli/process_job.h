#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "audio_stats.h"
#include "session.h"
#include "wav_file.h"

struct process_result {
    std::uint64_t frames = 0;
    unsigned input_channels = 0;
    unsigned output_channels = 0;
    unsigned sample_rate = 0;
    sample_format format = sample_format::float32;
    double seconds = 0;
    audio_stats stats;
    // Once per file: samples that were no finite numbers, and where from.
    std::string warning;
    // Played (--as-played): the chain positions that were late with blocks.
    std::vector<std::string> late;
    // The chain positions whose plug-in's process of its own was restarted.
    std::vector<std::string> restarted;
    // The delay the chain reported and whether it was taken out; the frames
    // written (the input's, and the tail's).
    std::uint64_t delay_frames = 0;
    bool delay_compensated = true;
    std::uint64_t output_frames = 0;
};

// The output is written to a temporary name and renamed only on success.
process_result run_process_job(session& s, const std::wstring& input, const std::wstring& output);
void print_summary(const process_result& r, const std::wstring& output);
// The summary's lines about the chain's delay and the tail (delay_compensation.cpp).
void print_delay_summary(const process_result& r);
// Frames of the tail: `seconds` at `rate`, rounded.
std::uint64_t tail_frames(double seconds, unsigned rate);

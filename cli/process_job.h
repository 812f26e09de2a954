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
};

// The output is written to a temporary name and renamed only on success.
process_result run_process_job(session& s, const std::wstring& input, const std::wstring& output);
void print_summary(const process_result& r, const std::wstring& output);

#pragma once
// WAV files for the tests, written and read independently of the tool.
#include <string>
#include <vector>

struct wav_data {
    unsigned channels = 0;
    unsigned rate = 0;
    unsigned format_tag = 0;  // 1 integer PCM, 3 float
    unsigned bits = 0;
    std::vector<float> samples;  // interleaved
};

void write_wav(const std::wstring& path, const wav_data& wav);
// Empty samples and channels 0 when the file is not a readable WAV.
wav_data read_wav(const std::wstring& path);

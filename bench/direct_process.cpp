// The whole job's baseline: the least a program can do to run a float WAV
// file through a plug-in with the chunking and call order the tool uses. It
// reads the file, makes the plug-in calls the tool's component makes (the
// validation's questions, rate and block size, one replacing call per
// chunk, the silent blocks at the end, effClose) and writes the same WAV.
//
// usage: direct_process PLUGIN.dll INPUT.wav OUTPUT.wav
// Prints how long the processing took, without the program's start.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "../plugin_api/aeffect.h"

namespace {

constexpr std::uint32_t k_chunk = 1024;        // the tool's chunk size
constexpr int k_silent_blocks = 4;             // the default declicker size
constexpr std::uint32_t k_silent_frames = 256;

std::uint32_t le32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
void put32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

std::intptr_t VSTCALL host(AEffect*, std::int32_t opcode, std::int32_t, std::intptr_t, void*, float) {
    return opcode == 1 ? 2400 : 0;  // audioMasterVersion
}

int fail(const char* text) {
    std::fprintf(stderr, "direct_process: %s\n", text);
    return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) return fail("usage: direct_process PLUGIN.dll INPUT.wav OUTPUT.wav");
    std::FILE* in = _wfopen(argv[2], L"rb");
    if (!in) return fail("cannot open the input");
    unsigned char h[12];
    if (std::fread(h, 1, 12, in) != 12 || std::memcmp(h, "RIFF", 4) != 0) return fail("not a WAV file");
    std::uint32_t channels = 0, rate = 0, data_bytes = 0;
    for (;;) {
        unsigned char c[8];
        if (std::fread(c, 1, 8, in) != 8) return fail("no data");
        const std::uint32_t size = le32(c + 4);
        if (std::memcmp(c, "data", 4) == 0) {
            data_bytes = size;
            break;
        }
        std::vector<unsigned char> body(size + (size & 1));
        if (std::fread(body.data(), 1, body.size(), in) != body.size()) return fail("cut short");
        if (std::memcmp(c, "fmt ", 4) == 0 && size >= 16) {
            if (body[0] != 3 || body[14] != 32) return fail("only 32-bit float");
            channels = body[2] | (body[3] << 8);
            rate = le32(&body[4]);
        }
    }
    if (channels == 0 || channels > 64) return fail("bad channel count");

    HMODULE module = LoadLibraryW(argv[1]);
    if (!module) return fail("cannot load the plug-in");
    auto main_proc = reinterpret_cast<VstPluginMainProc>(reinterpret_cast<void*>(GetProcAddress(module, "VSTPluginMain")));
    AEffect* e = main_proc ? main_proc(host) : nullptr;
    if (!e || e->numInputs != static_cast<std::int32_t>(channels) || e->numOutputs != e->numInputs)
        return fail("the plug-in needs as many inputs and outputs as the file has channels");
    char text[1024];
    e->dispatcher(e, effGetPlugCategory, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, effGetProductString, 0, 0, text, 0.0f);
    e->dispatcher(e, effGetVendorString, 0, 0, text, 0.0f);
    e->dispatcher(e, effSetProgram, 0, 0, nullptr, 0.0f);

    // Timed like the tool's own figure: from the first sample read to the
    // output's close.
    LARGE_INTEGER frequency, started, finished;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&started);
    std::FILE* out = _wfopen(argv[3], L"wb");
    if (!out) return fail("cannot write the output");
    unsigned char header[44] = {};
    std::memcpy(header, "RIFF", 4);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    put32(header + 16, 16);
    header[20] = 3;
    header[22] = static_cast<unsigned char>(channels);
    put32(header + 24, rate);
    put32(header + 28, rate * channels * 4);
    header[32] = static_cast<unsigned char>(channels * 4);
    header[34] = 32;
    std::memcpy(header + 36, "data", 4);
    std::fwrite(header, 1, 44, out);

    std::vector<float> interleaved(std::size_t{k_chunk} * channels), planar_in(interleaved.size()),
        planar_out(interleaved.size());
    std::vector<float*> in_ptrs(channels), out_ptrs(channels);
    std::uint64_t left = data_bytes / (4 * channels), written = 0;
    bool first = true;
    while (left > 0) {
        const std::uint32_t frames = static_cast<std::uint32_t>(left < k_chunk ? left : k_chunk);
        const std::size_t got = std::fread(interleaved.data(), 4 * channels, frames, in);
        if (got == 0) break;
        const std::uint32_t n = static_cast<std::uint32_t>(got);
        left -= n;
        if (first) {
            e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
            e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
            e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
            e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
            e->dispatcher(e, effSetBlockSize, 0, n, nullptr, 0.0f);
            e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
            first = false;
        }
        for (std::uint32_t c = 0; c < channels; ++c) {
            in_ptrs[c] = planar_in.data() + std::size_t{c} * n;
            out_ptrs[c] = planar_out.data() + std::size_t{c} * n;
            for (std::uint32_t s = 0; s < n; ++s) in_ptrs[c][s] = interleaved[std::size_t{s} * channels + c];
        }
        e->processReplacing(e, in_ptrs.data(), out_ptrs.data(), static_cast<std::int32_t>(n));
        for (std::uint32_t c = 0; c < channels; ++c)
            for (std::uint32_t s = 0; s < n; ++s) interleaved[std::size_t{s} * channels + c] = out_ptrs[c][s];
        if (std::fwrite(interleaved.data(), 4 * channels, n, out) != n) return fail("cannot write the output");
        written += std::uint64_t{n} * channels * 4;
    }
    std::vector<float> silence(k_silent_frames);
    std::vector<float*> silent_ptrs(channels, silence.data());
    for (int i = 0; i < k_silent_blocks; ++i)
        e->processReplacing(e, silent_ptrs.data(), silent_ptrs.data(), static_cast<std::int32_t>(k_silent_frames));
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
    FreeLibrary(module);
    std::fclose(in);

    put32(header + 4, static_cast<std::uint32_t>(36 + written));
    put32(header + 40, static_cast<std::uint32_t>(written));
    std::fseek(out, 0, SEEK_SET);
    std::fwrite(header, 1, 44, out);
    if (std::fclose(out) != 0) return fail("cannot write the output");
    QueryPerformanceCounter(&finished);
    std::printf("Processing: %.3f s\n",
                static_cast<double>(finished.QuadPart - started.QuadPart) / static_cast<double>(frequency.QuadPart));
    return 0;
}

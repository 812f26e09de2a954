#pragma once
// The bytes of the tool's state file "velmora-state.bin". Version 2:
//
//   "VLMS", 2,
//   configuration: size, CRC-32, bytes
//   chain length N,
//   N entries: 16-byte owner, offset, size, CRC-32 of owner and bytes
//   the entries' bytes, one after the other (offsets count from here)
//
// Every number 32-bit little-endian. Each position carries its own check,
// so a damaged one costs that position alone: the rest still loads.
// Version 1 (the same without checks, offsets and table) is still read.
// No Windows here: a native harness feeds the decoder arbitrary bytes.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct state_position {
    std::array<unsigned char, 16> owner{};
    std::vector<unsigned char> data;
};

struct state_record {
    std::vector<unsigned char> configuration;
    std::vector<state_position> chain;
};

// A chain longer than this is damage, not data; so is a blob larger than a
// plug-in state the component keeps (256 MB) plus the preset's own bytes.
constexpr std::uint32_t state_max_chain = 1024;
constexpr std::uint32_t state_max_blob = (256u << 20) + 64;

std::vector<unsigned char> encode_state_record(const state_record& state);

struct decoded_state {
    state_record state;
    // What was left out, one line each ("chain position 2 ..."): empty for
    // a file read whole.
    std::vector<std::string> damage;
};
// Throws cli_error when nothing of it can be read (no state file, another
// version, cut short before its chain); otherwise leaves out what is
// damaged and says so.
decoded_state decode_state_record(const unsigned char* bytes, std::size_t size);

#pragma once
// The bytes of the tool's state file "velmora-state.bin": "VLMS", version 1,
// the configuration blob, then the chain as (16-byte owner, blob) pairs;
// every number 32-bit little-endian, every blob a size and its bytes.
// No Windows here: a native harness feeds the decoder arbitrary bytes.
#include <array>
#include <cstdint>
#include <vector>

struct state_position {
    std::array<unsigned char, 16> owner{};
    std::vector<unsigned char> data;
};

struct state_record {
    std::vector<unsigned char> configuration;
    std::vector<state_position> chain;
};

// A chain longer than this or a blob larger than this is damage, not data.
constexpr std::uint32_t state_max_chain = 1024;
constexpr std::uint32_t state_max_blob = 64u << 20;

std::vector<unsigned char> encode_state_record(const state_record& state);
// Throws cli_error for anything but a well-formed state.
state_record decode_state_record(const unsigned char* bytes, std::size_t size);

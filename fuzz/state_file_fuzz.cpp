// velmora-state.bin: any bytes are either refused with the tool's error or
// decode to a state that encodes back to exactly those bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "../cli/cli_error.h"
#include "../cli/state_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    state_record decoded;
    try {
        decoded = decode_state_record(data, size);
    } catch (const cli_error&) {
        return 0;
    }
    if (decoded.chain.size() > state_max_chain) std::abort();
    const std::vector<unsigned char> again = encode_state_record(decoded);
    if (again.size() != size || (size && std::memcmp(again.data(), data, size) != 0)) std::abort();
    return 0;
}

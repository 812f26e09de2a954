// velmora-state.bin: any bytes are either refused with the tool's error or
// decode to a state (what is damaged left out) that encodes to a file read
// back whole as that very state.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "../cli/cli_error.h"
#include "../cli/state_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    decoded_state decoded;
    try {
        decoded = decode_state_record(data, size);
    } catch (const cli_error&) {
        return 0;
    }
    if (decoded.state.chain.size() > state_max_chain) std::abort();
    const std::vector<unsigned char> again = encode_state_record(decoded.state);
    const decoded_state reread = decode_state_record(again.data(), again.size());
    if (!reread.damage.empty() || reread.state.configuration != decoded.state.configuration ||
        reread.state.chain.size() != decoded.state.chain.size())
        std::abort();
    for (std::size_t i = 0; i < reread.state.chain.size(); ++i)
        if (reread.state.chain[i].owner != decoded.state.chain[i].owner ||
            reread.state.chain[i].data != decoded.state.chain[i].data)
            std::abort();
    const std::vector<unsigned char> twice = encode_state_record(reread.state);
    if (twice != again) std::abort();
    return 0;
}

// What a folder scan remembers, read from any bytes: refused unless it is
// exactly a record of the format within every bound, and then written back
// byte for byte as it was read.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "../shell/scan_memory_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<stored_scan_file> files{stored_scan_file{}};
    files[0].path = "untouched";
    if (!decode_scan_memory(data, size, files)) {
        if (files.size() != 1 || files[0].path != "untouched") std::abort();
        return 0;
    }
    if (files.size() > k_max_stored_scan_files) std::abort();
    for (const stored_scan_file& f : files)
        if (f.path.empty() || f.path.size() > k_max_stored_scan_path || !remembered_kind(f.kind) || f.has_editor > 1)
            std::abort();
    const std::vector<unsigned char> written = encode_scan_memory(files);
    if (written.size() != size) std::abort();
    for (std::size_t i = 0; i < size; ++i)
        if (written[i] != data[i]) std::abort();
    return 0;
}

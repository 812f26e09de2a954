#include "program_file.h"

#include <cstring>
#include <vector>

#include "../host/filesystem.h"
#include "../shell/component.h"
#include "../shell/popups.h"
#include "plugin_memory.h"
#include "vst.h"

namespace {

constexpr std::int32_t fourcc(const char (&text)[5]) {
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(static_cast<unsigned char>(text[0])) << 24) |
                                     (static_cast<std::uint32_t>(static_cast<unsigned char>(text[1])) << 16) |
                                     (static_cast<std::uint32_t>(static_cast<unsigned char>(text[2])) << 8) |
                                     static_cast<std::uint32_t>(static_cast<unsigned char>(text[3])));
}
constexpr std::int32_t k_chunk_magic = fourcc("CcnK");
constexpr std::int32_t k_params_magic = fourcc("FxCk");
constexpr std::int32_t k_opaque_magic = fourcc("FPCh");
constexpr std::size_t k_name_bytes = 28;
constexpr std::size_t k_header_after_size = 48;  // fxMagic .. prgName

std::int32_t read_be32(file& f, abort_callback& abort) {
    unsigned char b[4];
    f.read_object(b, 4, abort);
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(b[0]) << 24) | (b[1] << 16) | (b[2] << 8) | b[3]);
}

float bits_to_float(std::int32_t bits) {
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

std::int32_t float_to_bits(float f) {
    std::int32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

void put_be32(std::vector<unsigned char>& out, std::int32_t v) {
    auto u = static_cast<std::uint32_t>(v);
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<unsigned char>(u >> shift));
}

}  // namespace

void load_fxp(vst& plugin, const std::string& path) {
    abort_callback_dummy abort;
    service_ptr_t<file> f = host_service<filesystem>()->open(path.c_str(), filesystem::open_mode_read, abort);

    if (read_be32(*f, abort) != k_chunk_magic) {
        show_popup("The file you specified is not a valid FXP file.", k_title_error, popup_message::icon_error);
        return;
    }
    read_be32(*f, abort);  // byteSize
    std::int32_t fx_magic = read_be32(*f, abort);
    read_be32(*f, abort);  // version
    std::int32_t fx_id = read_be32(*f, abort);
    read_be32(*f, abort);  // fxVersion
    std::int32_t num_params = read_be32(*f, abort);
    // One byte more than the field, so a name without NUL still ends.
    char name[k_name_bytes + 1] = {};
    f->read(name, k_name_bytes, abort);

    if (!plugin.effect || fx_id != plugin.effect->uniqueID) {
        show_popup("VST ID mismatch. Most probably, this FXP is for another VST.", k_title_id_mismatch,
                   popup_message::icon_error);
        return;
    }
    // Trust a chunk's declared size only as far as the file holds bytes; a
    // state too large to hand over changes nothing, not even the name.
    std::size_t size = 0;
    if (fx_magic == k_opaque_magic) {
        const std::int32_t declared = read_be32(*f, abort);
        const std::uint64_t left = f->size(abort) - f->position(abort);
        const std::uint64_t wanted = declared <= 0 ? 0 : static_cast<std::uint64_t>(declared);
        const std::uint64_t held = wanted < left ? wanted : left;
        if (!chunk_fits(plugin, held)) return;
        size = static_cast<std::size_t>(held);
    }
    plugin.dispatch(effSetProgramName, 0, 0, name);

    if (fx_magic == k_params_magic) {
        // The plug-in has no parameters beyond its own count.
        std::int32_t count = num_params < plugin.effect->numParams ? num_params : plugin.effect->numParams;
        for (std::int32_t i = 0; i < count; ++i) {
            float value = bits_to_float(read_be32(*f, abort));
            plugin.set_parameter(i, value);
        }
    } else if (fx_magic == k_opaque_magic) {
        // Never a null pointer, even for an empty chunk: plug-ins read it.
        std::vector<unsigned char> chunk(size ? size : 1, 0);
        std::size_t got = size ? f->read(chunk.data(), size, abort) : 0;
        plugin.dispatch(effSetChunk, 1, static_cast<std::intptr_t>(got), chunk.data());
    }
}

void save_fxp(vst& plugin, const std::string& path) {
    AEffect* e = plugin.effect;
    // Many plug-ins write longer names than the file's field holds: they are
    // asked in a large buffer and the file keeps the first 28 bytes.
    char name[k_name_bytes] = {};
    const std::string asked = plugin.ask_text(effGetProgramName, 0, k_name_bytes);
    std::memcpy(name, asked.data(), asked.size());

    const bool chunked = e && (e->flags & effFlagsProgramChunks);
    const std::int32_t params = plugin.parameter_count();
    std::vector<unsigned char> body;
    if (chunked) {
        std::vector<unsigned char> chunk;
        // Nothing is written for a state the component does not keep.
        if (take_plugin_chunk(plugin, 1, chunk) == chunk_taken::refused) return;
        put_be32(body, static_cast<std::int32_t>(chunk.size()));
        body.insert(body.end(), chunk.begin(), chunk.end());
    } else {
        for (std::int32_t i = 0; i < params; ++i) put_be32(body, float_to_bits(plugin.get_parameter(i)));
    }

    std::vector<unsigned char> bytes;
    put_be32(bytes, k_chunk_magic);
    put_be32(bytes, static_cast<std::int32_t>(k_header_after_size + body.size()));
    put_be32(bytes, chunked ? k_opaque_magic : k_params_magic);
    put_be32(bytes, 1);
    put_be32(bytes, e ? e->uniqueID : 0);
    put_be32(bytes, e ? e->version : 0);
    put_be32(bytes, params);
    bytes.insert(bytes.end(), name, name + k_name_bytes);
    bytes.insert(bytes.end(), body.begin(), body.end());

    abort_callback_dummy abort;
    service_ptr_t<file> f = host_service<filesystem>()->open(path.c_str(), filesystem::open_mode_write_new, abort);
    f->write(bytes.data(), bytes.size(), abort);
}

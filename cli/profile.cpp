#include "profile.h"

#include <shlobj.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "../Helpers/utf.h"
#include "cli_error.h"
#include "../host/vst_scripting.h"
#include "state_format.h"

static_assert(state_max_blob >= k_vst_script_max_chunk_bytes + 8,
              "a chain position holds the largest state the component keeps, with its key and size");

namespace {

const wchar_t k_state_file[] = L"velmora-state.bin";

}  // namespace

std::vector<unsigned char> encode_state(const host_state& state) {
    state_record record;
    record.configuration = state.configuration;
    for (std::size_t i = 0; i < state.chain.get_count(); ++i) {
        const dsp_preset& p = state.chain.get_item(i);
        state_position position;
        const GUID owner = p.get_owner();
        std::memcpy(position.owner.data(), &owner, sizeof owner);
        const auto* d = static_cast<const unsigned char*>(p.get_data());
        position.data.assign(d, d + p.get_data_size());
        record.chain.push_back(std::move(position));
    }
    return encode_state_record(record);
}

host_state decode_state(const std::vector<unsigned char>& bytes, std::vector<std::string>* damage) {
    decoded_state decoded = decode_state_record(bytes.data(), bytes.size());
    if (damage) *damage = std::move(decoded.damage);
    host_state s;
    s.configuration = std::move(decoded.state.configuration);
    for (state_position& p : decoded.state.chain) {
        GUID owner;
        std::memcpy(&owner, p.owner.data(), sizeof owner);
        s.chain.add_item(dsp_preset_impl(owner, std::move(p.data)));
    }
    return s;
}

namespace {

// The folder creation call takes only full paths: a relative --profile is
// taken from the current folder.
std::wstring full_folder(const std::wstring& folder) {
    if (folder.empty()) return folder;
    DWORD n = GetFullPathNameW(folder.c_str(), 0, nullptr, nullptr);
    if (n == 0) return folder;
    std::wstring full(n, L'\0');
    n = GetFullPathNameW(folder.c_str(), n, &full[0], nullptr);
    full.resize(n);
    return full;
}

// Whether the file holds exactly `bytes`, and they read as a whole state.
bool reads_back_as(const std::wstring& path, const std::vector<unsigned char>& bytes) {
    std::ifstream in(path.c_str(), std::ios::binary);
    if (!in) return false;
    const std::vector<unsigned char> read((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (read != bytes) return false;
    try {
        return decode_state_record(read.data(), read.size()).damage.empty();
    } catch (const cli_error&) {
        return false;
    }
}

}  // namespace

profile::profile(std::wstring folder) : folder_(full_folder(folder)) {
    while (folder_.size() > 3 && (folder_.back() == L'\\' || folder_.back() == L'/')) folder_.pop_back();
    DWORD attr = GetFileAttributesW(folder_.c_str());
    if (attr == INVALID_FILE_ATTRIBUTES) {
        if (SHCreateDirectoryExW(nullptr, folder_.c_str(), nullptr) != ERROR_SUCCESS)
            throw cli_error("cannot create the profile folder " + wide_to_utf8(folder_));
    } else if (!(attr & FILE_ATTRIBUTE_DIRECTORY)) {
        throw cli_error("the profile " + wide_to_utf8(folder_) + " is not a folder");
    }
    std::ifstream in(file(k_state_file).c_str(), std::ios::binary);
    if (in) {
        std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::vector<std::string> damage;
        try {
            state = decode_state(bytes, &damage);
        } catch (const cli_error& e) {
            throw cli_error(std::string(e.what()) + ": " + wide_to_utf8(file(k_state_file)));
        }
        // What is damaged costs that part alone; the rest loads.
        for (const std::string& d : damage)
            std::fprintf(stderr, "orvane: warning: the profile's saved state is damaged: %s (%s)\n", d.c_str(),
                         wide_to_utf8(file(k_state_file)).c_str());
    }
}

std::string profile::folder_utf8() const { return wide_to_utf8(folder_); }

void profile::save() const {
    std::vector<unsigned char> bytes = encode_state(state);
    std::wstring target = file(k_state_file);
    std::wstring temp = target + L".tmp";
    {
        std::ofstream out(temp.c_str(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out) throw cli_error("cannot write the profile's state to " + wide_to_utf8(temp));
    }
    // The state that replaces the old one is the one read back from disk:
    // a file the tool could not read again never takes the old one's place.
    if (!reads_back_as(temp, bytes)) {
        DeleteFileW(temp.c_str());
        throw cli_error("the profile's state written to " + wide_to_utf8(temp) +
                        " did not read back as written; the state file before it is kept");
    }
    if (!MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileW(temp.c_str());
        throw cli_error("cannot replace the profile's state file " + wide_to_utf8(target));
    }
}

std::wstring profile::default_folder() {
    wchar_t appdata[MAX_PATH] = {};
    if (SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appdata) != S_OK)
        GetTempPathW(MAX_PATH, appdata);
    std::wstring base = appdata;
    if (!base.empty() && base.back() != L'\\') base += L'\\';
    return base + L"Orvane\\profile";
}

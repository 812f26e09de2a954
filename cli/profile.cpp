#include "profile.h"

#include <shlobj.h>
#include <windows.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "../Helpers/utf.h"
#include "cli_error.h"

namespace {

const char k_magic[4] = {'V', 'L', 'M', 'S'};
constexpr std::uint32_t k_version = 1;
const wchar_t k_state_file[] = L"velmora-state.bin";
// A chain longer than this or a blob larger than this is damage, not data.
constexpr std::uint32_t k_max_chain = 1024;
constexpr std::uint32_t k_max_blob = 64u << 20;

void put32(std::vector<unsigned char>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

class reader {
public:
    explicit reader(const std::vector<unsigned char>& b) : b_(b) {}
    void take(void* out, std::size_t n) {
        if (b_.size() - pos_ < n) throw cli_error("the profile's saved state is damaged (cut short)");
        std::memcpy(out, b_.data() + pos_, n);
        pos_ += n;
    }
    std::uint32_t u32() {
        unsigned char p[4];
        take(p, 4);
        return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    }
    std::vector<unsigned char> blob() {
        std::uint32_t n = u32();
        if (n > k_max_blob || n > b_.size() - pos_) throw cli_error("the profile's saved state is damaged (bad size)");
        std::vector<unsigned char> v(n);
        take(v.data(), n);
        return v;
    }
    bool at_end() const { return pos_ == b_.size(); }

private:
    const std::vector<unsigned char>& b_;
    std::size_t pos_ = 0;
};

}  // namespace

std::vector<unsigned char> encode_state(const host_state& state) {
    std::vector<unsigned char> out(k_magic, k_magic + 4);
    put32(out, k_version);
    put32(out, static_cast<std::uint32_t>(state.configuration.size()));
    out.insert(out.end(), state.configuration.begin(), state.configuration.end());
    put32(out, static_cast<std::uint32_t>(state.chain.get_count()));
    for (std::size_t i = 0; i < state.chain.get_count(); ++i) {
        const dsp_preset& p = state.chain.get_item(i);
        GUID owner = p.get_owner();
        const auto* g = reinterpret_cast<const unsigned char*>(&owner);
        out.insert(out.end(), g, g + sizeof owner);
        put32(out, static_cast<std::uint32_t>(p.get_data_size()));
        const auto* d = static_cast<const unsigned char*>(p.get_data());
        out.insert(out.end(), d, d + p.get_data_size());
    }
    return out;
}

host_state decode_state(const std::vector<unsigned char>& bytes) {
    reader r(bytes);
    char magic[4];
    r.take(magic, 4);
    if (std::memcmp(magic, k_magic, 4) != 0) throw cli_error("the profile's saved state is damaged (not a state file)");
    if (r.u32() != k_version) throw cli_error("the profile's saved state is from another version of the tool");
    host_state s;
    s.configuration = r.blob();
    std::uint32_t count = r.u32();
    if (count > k_max_chain) throw cli_error("the profile's saved state is damaged (bad chain length)");
    for (std::uint32_t i = 0; i < count; ++i) {
        GUID owner;
        r.take(&owner, sizeof owner);
        std::vector<unsigned char> data = r.blob();
        s.chain.add_item(dsp_preset_impl(owner, std::move(data)));
    }
    if (!r.at_end()) throw cli_error("the profile's saved state is damaged (trailing bytes)");
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
        try {
            state = decode_state(bytes);
        } catch (const cli_error& e) {
            throw cli_error(std::string(e.what()) + ": " + wide_to_utf8(file(k_state_file)));
        }
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

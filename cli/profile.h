#pragma once
// A profile folder: the component's plug-in list and the player's own saved
// state, the playback DSP chain and the component's configuration.
#include <string>
#include <vector>

#include "../host/dsp_chain.h"

struct host_state {
    std::vector<unsigned char> configuration;
    dsp_chain_config_impl chain;
};

class profile {
public:
    // Creates the folder if needed and reads the saved state. A state file
    // of which nothing can be read is a cli_error and nothing is changed; a
    // damaged chain position is left out with a warning, the rest loads.
    explicit profile(std::wstring folder);

    const std::wstring& folder() const { return folder_; }
    std::string folder_utf8() const;
    std::wstring file(const std::wstring& name) const { return folder_ + L"\\" + name; }
    std::wstring list_file() const { return file(L"vst_entries.bin"); }

    host_state state;
    // Writes the state to a temporary file and replaces the old one.
    void save() const;

    static std::wstring default_folder();

private:
    std::wstring folder_;
};

std::vector<unsigned char> encode_state(const host_state& state);
// Throws cli_error for bytes of which nothing can be read; leaves out a
// damaged chain position (or configuration) and says so in `damage`.
host_state decode_state(const std::vector<unsigned char>& bytes, std::vector<std::string>* damage = nullptr);

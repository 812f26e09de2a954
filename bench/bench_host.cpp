#include "bench_host.h"

#include "../Helpers/folders.h"
#include "../Helpers/utf.h"

extern "C" velmora_client* velmora_get_interface(velmora_api* api, HINSTANCE instance);

std::wstring program_folder() { return executable_folder(); }

std::wstring pass_through_dll(unsigned channels) {
    return program_folder() + L"plugins\\pass_through_" + std::to_wstring(channels) + L".dll";
}

bench_host::bench_host() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    profile_ = std::wstring(temp) + L"orvane-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(profile_.c_str(), nullptr);
    host_options o;
    o.linked_entry = &velmora_get_interface;
    o.profile_folder = wide_to_utf8(profile_);
    host_ = std::make_unique<component_host>(o);
    host_->start();
}

bench_host::~bench_host() {
    host_.reset();
    remove_folder_tree(profile_);
}

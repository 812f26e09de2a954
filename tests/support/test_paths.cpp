#include "test_paths.h"

#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "../../Helpers/folders.h"
#include "../../Helpers/utf.h"
#include "../../host_standin/popup_recorder.h"

std::wstring bin_folder() { return executable_folder(); }

std::wstring component_dll() { return bin_folder() + L"vel_vst.dll"; }

std::wstring plugin_dll(const std::string& name) {
    wchar_t folder[64] = {};
    if (!GetEnvironmentVariableW(L"ORVANE_TEST_PLUGIN_FOLDER", folder, 64)) lstrcpyW(folder, L"plugins");
    return bin_folder() + folder + L"\\" + utf8_to_wide(name) + L".dll";
}

std::wstring other_architecture_plugin_dll(const std::string& name) {
    return bin_folder() + (sizeof(void*) == 8 ? L"plugins32\\" : L"plugins64\\") + utf8_to_wide(name) + L".dll";
}

const char* other_architecture_process_text() { return sizeof(void*) == 8 ? "own (x86)" : "own (x64)"; }

std::set<std::wstring> names_in(const std::wstring& folder) {
    std::set<std::wstring> names;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring n = fd.cFileName;
        if (n != L"." && n != L"..") names.insert(n);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return names;
}

std::map<std::wstring, std::vector<unsigned char>> folder_contents(const std::wstring& folder) {
    std::map<std::wstring, std::vector<unsigned char>> contents;
    for (const std::wstring& n : names_in(folder)) contents[n] = read_file_bytes(folder + L"\\" + n);
    return contents;
}

temp_folder::temp_folder() {
    static std::atomic<unsigned> counter{0};
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    path_ = std::wstring(base) + L"orvane-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(counter++);
    CreateDirectoryW(path_.c_str(), nullptr);
}

temp_folder::~temp_folder() { remove_folder_tree(path_); }

std::string temp_folder::utf8() const { return wide_to_utf8(path_); }

std::vector<unsigned char> read_file_bytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file_bytes(const std::wstring& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool file_exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void PrintTo(const popup_record& r, std::ostream* os) {
    *os << "{\"" << r.text << "\", \"" << r.title << "\", icon " << r.icon << "}";
}

#pragma once
// Where the tests find what the build made, and throwaway folders.
#include <windows.h>

#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

// The folder of the running test executable, with a trailing backslash.
std::wstring bin_folder();
std::wstring component_dll();
// A test plug-in DLL built beside the tests, by base name ("gain"): from
// bin\plugins, or from the folder ORVANE_TEST_PLUGIN_FOLDER names (the
// other architecture's plug-ins, plugins32 or plugins64).
std::wstring plugin_dll(const std::string& name);
// The same test plug-in built for the other architecture than the tests'.
std::wstring other_architecture_plugin_dll(const std::string& name);
// What a row of the other architecture's DLL shows as its process.
const char* other_architecture_process_text();

// A fresh folder under the temporary folder, removed with its files.
class temp_folder {
public:
    temp_folder();
    ~temp_folder();
    temp_folder(const temp_folder&) = delete;
    temp_folder& operator=(const temp_folder&) = delete;
    const std::wstring& path() const { return path_; }
    std::string utf8() const;
    std::wstring file(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

std::vector<unsigned char> read_file_bytes(const std::wstring& path);
void write_file_bytes(const std::wstring& path, const std::vector<unsigned char>& bytes);
bool file_exists(const std::wstring& path);
// The names of the files and folders in a folder.
std::set<std::wstring> names_in(const std::wstring& folder);
// Every name in a folder with its bytes (none for a folder): to see that
// nothing in it changed.
std::map<std::wstring, std::vector<unsigned char>> folder_contents(const std::wstring& folder);

struct popup_record;
// How gtest shows a message the component showed.
void PrintTo(const popup_record& r, std::ostream* os);

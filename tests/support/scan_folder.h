#pragma once
// Folders for the scan tests: copies of our test plug-ins, links between
// folders, and the bridge processes a scan leaves (none, it should).
#include <windows.h>

#include <string>
#include <vector>

bool copy_file_to(const std::wstring& from, const std::wstring& to);

// A link (a symbolic link) at `link` that leads to the folder `target`,
// removed again with the object. Wine makes no link of CreateSymbolicLinkW
// and removes none it did not make: there the link is a Unix one, made and
// removed by the system's own programs.
class folder_link {
public:
    folder_link(const std::wstring& link, const std::wstring& target);
    ~folder_link();
    folder_link(const folder_link&) = delete;
    folder_link& operator=(const folder_link&) = delete;
    bool made() const { return made_; }

private:
    std::wstring link_;
    bool made_ = false;
    bool unix_ = false;
};

// The bridge processes that `parent` started and that still run.
std::vector<DWORD> running_bridges(DWORD parent);
// The file names of the modules those bridges have loaded: a plug-in DLL
// being checked is among them.
std::vector<std::wstring> bridged_modules(DWORD parent);

#include "folder_walk.h"

#include <windows.h>

#include <algorithm>
#include <set>
#include <utility>

#include "../Helpers/utf.h"
#include "../Helpers/win32_handles.h"

namespace {

bool is_dll_name(const std::wstring& name) {
    return name.size() > 4 &&
           CompareStringOrdinal(name.c_str() + name.size() - 4, 4, L".dll", 4, TRUE) == CSTR_EQUAL;
}

bool name_before(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_LESS_THAN;
}

// A drive's root ("C:\\") already ends in the separator.
std::wstring child(const std::wstring& folder, const std::wstring& name) {
    return folder.back() == L'\\' ? folder + name : folder + L"\\" + name;
}

std::uint64_t join(DWORD high, DWORD low) { return (static_cast<std::uint64_t>(high) << 32) | low; }

// What makes a folder the same folder however it was reached: its volume
// and file index, or, where the file system has no index, its path.
using folder_identity = std::pair<std::uint64_t, std::wstring>;

bool identify(const std::wstring& folder, folder_identity& out, DWORD& error) {
    unique_handle h = make_file_handle(CreateFileW(folder.c_str(), 0,
                                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!h || !GetFileInformationByHandle(h.get(), &info)) {
        error = GetLastError();
        return false;
    }
    const std::uint64_t index = join(info.nFileIndexHigh, info.nFileIndexLow);
    if (index != 0)
        out = {index, std::to_wstring(info.dwVolumeSerialNumber)};
    else
        out = {0, folder};
    return true;
}

class walker {
public:
    walker(const std::wstring& root, bool recursive, const std::atomic<bool>& stop, const walk_limits& limits,
           std::atomic<std::size_t>* found)
        : root_(root), recursive_(recursive), stop_(stop), limits_(limits), found_(found) {}

    folder_walk run() {
        visit(root_, 0);
        if (stop_) result_.complete = false;
        return std::move(result_);
    }

private:
    // The folder as the user sees it: relative to the scanned one.
    std::string shown(const std::wstring& folder) const {
        const std::size_t prefix = root_.back() == L'\\' ? root_.size() : root_.size() + 1;
        return folder.size() > prefix ? wide_to_utf8(folder.substr(prefix)) : wide_to_utf8(folder);
    }

    void note(const std::string& text) {
        result_.notes.push_back(text);
        result_.complete = false;
    }

    void visit(const std::wstring& folder, std::size_t depth) {
        if (stop_ || files_full_) return;
        if (result_.folders >= limits_.folders) {
            if (!folders_full_) note("Only " + std::to_string(limits_.folders) + " folders were looked through; " +
                                     shown(folder) + " and the folders after it were not.");
            folders_full_ = true;
            return;
        }
        folder_identity identity;
        DWORD error = 0;
        if (!identify(folder, identity, error)) {
            note("The subfolder " + shown(folder) + " could not be read: " + system_error_text(error));
            return;
        }
        if (!visited_.insert(identity).second) {
            note("The subfolder " + shown(folder) +
                 " was skipped: it leads back to a folder already scanned (a link or junction).");
            return;
        }
        ++result_.folders;

        std::vector<found_file> files;
        std::vector<std::wstring> subfolders;
        WIN32_FIND_DATAW fd;
        HANDLE find = FindFirstFileExW(child(folder, L"*").c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr,
                                       0);
        if (find == INVALID_HANDLE_VALUE) {
            const DWORD code = GetLastError();
            if (code != ERROR_FILE_NOT_FOUND && code != ERROR_NO_MORE_FILES)
                note("The subfolder " + shown(folder) + " could not be read: " + system_error_text(code));
            return;
        }
        do {
            const std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..") continue;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (recursive_) subfolders.push_back(name);
            } else if (is_dll_name(name)) {
                files.push_back({child(folder, name), join(fd.nFileSizeHigh, fd.nFileSizeLow),
                                 join(fd.ftLastWriteTime.dwHighDateTime, fd.ftLastWriteTime.dwLowDateTime)});
            }
        } while (!stop_ && FindNextFileW(find, &fd));
        FindClose(find);

        std::sort(files.begin(), files.end(),
                  [](const found_file& a, const found_file& b) { return name_before(a.path, b.path); });
        for (found_file& f : files) {
            if (result_.files.size() >= limits_.files) {
                note("Only the first " + std::to_string(limits_.files) +
                     " DLLs were scanned; scan the rest a subfolder at a time.");
                files_full_ = true;
                return;
            }
            result_.files.push_back(std::move(f));
            if (found_) found_->store(result_.files.size(), std::memory_order_relaxed);
        }
        std::sort(subfolders.begin(), subfolders.end(), name_before);
        for (const std::wstring& sub : subfolders) {
            if (depth + 1 > limits_.depth) {
                if (!too_deep_)
                    note("Subfolders more than " + std::to_string(limits_.depth) + " levels down were not scanned (" +
                         shown(child(folder, sub)) + ").");
                too_deep_ = true;
                return;
            }
            visit(child(folder, sub), depth + 1);
        }
    }

    const std::wstring root_;
    const bool recursive_;
    const std::atomic<bool>& stop_;
    const walk_limits limits_;
    std::atomic<std::size_t>* const found_;
    folder_walk result_;
    std::set<folder_identity> visited_;
    bool files_full_ = false;
    bool folders_full_ = false;
    bool too_deep_ = false;
};

}  // namespace

std::string system_error_text(std::uint32_t code) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = n && text ? std::wstring(text, n) : L"";
    if (text) LocalFree(text);
    // One line, without the trailing break the system adds.
    for (wchar_t& c : message)
        if (c == L'\r' || c == L'\n') c = L' ';
    while (!message.empty() && (message.back() == L' ' || message.back() == L'.')) message.pop_back();
    if (message.empty()) return "error " + std::to_string(code);
    return wide_to_utf8(message) + ".";
}

std::string scan_folder_problem(const std::wstring& folder) {
    const std::string shown = wide_to_utf8(folder);
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND || code == ERROR_INVALID_NAME ||
            code == ERROR_BAD_NETPATH)
            return "The folder " + shown + " does not exist.";
        return "The folder " + shown + " cannot be read: " + system_error_text(code);
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return shown + " is a file, not a folder.";
    WIN32_FIND_DATAW fd;
    HANDLE find =
        FindFirstFileExW(child(folder, L"*").c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code != ERROR_FILE_NOT_FOUND && code != ERROR_NO_MORE_FILES)
            return "The folder " + shown + " cannot be read: " + system_error_text(code);
    } else {
        FindClose(find);
    }
    return {};
}

folder_walk walk_folder(const std::wstring& folder, bool recursive, const std::atomic<bool>& stop,
                        const walk_limits& limits, std::atomic<std::size_t>* found) {
    std::wstring root = folder;
    while (root.size() > 3 && (root.back() == L'\\' || root.back() == L'/')) root.pop_back();
    return walker(root, recursive, stop, limits, found).run();
}

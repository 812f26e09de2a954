#pragma once
// Points HKEY_CURRENT_USER of this process at a fresh key of its own, so that
// tests running side by side never see each other's registry values.
#include <windows.h>

#include <string>
#include <vector>

class registry_sandbox {
public:
    registry_sandbox();
    ~registry_sandbox();
    registry_sandbox(const registry_sandbox&) = delete;
    registry_sandbox& operator=(const registry_sandbox&) = delete;

    // Writes a value under `path` (created as needed) of the sandboxed user key.
    void set(const std::wstring& path, const std::wstring& name, DWORD type, const std::vector<BYTE>& data);
    void set_multi(const std::wstring& path, const std::wstring& name, const std::vector<std::wstring>& strings);
    bool exists(const std::wstring& path) const;
    void remove(const std::wstring& path);

private:
    std::wstring root_path_;
    HKEY root_ = nullptr;
};

// The bytes of a multi-string: each string with its NUL, then the final NUL.
std::vector<BYTE> multi_string_bytes(const std::vector<std::wstring>& strings);

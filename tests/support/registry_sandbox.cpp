#include "registry_sandbox.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {
const wchar_t k_sandboxes[] = L"Software\\OrvaneTestSandboxes";
}

registry_sandbox::registry_sandbox() {
    static std::atomic<unsigned> counter{0};
    root_path_ = std::wstring(k_sandboxes) + L"\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(counter++);
    RegDeleteTreeW(HKEY_CURRENT_USER, root_path_.c_str());
    if (RegCreateKeyExW(HKEY_CURRENT_USER, root_path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root_,
                        nullptr) != ERROR_SUCCESS)
        ADD_FAILURE() << "cannot create the registry sandbox";
    else if (RegOverridePredefKey(HKEY_CURRENT_USER, root_) != ERROR_SUCCESS)
        ADD_FAILURE() << "cannot redirect HKEY_CURRENT_USER";
}

registry_sandbox::~registry_sandbox() {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    if (root_) RegCloseKey(root_);
    RegDeleteTreeW(HKEY_CURRENT_USER, root_path_.c_str());
}

void registry_sandbox::set(const std::wstring& path, const std::wstring& name, DWORD type,
                           const std::vector<BYTE>& data) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root_, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    LONG status = RegSetValueExW(key, name.c_str(), 0, type, data.empty() ? nullptr : data.data(),
                                 static_cast<DWORD>(data.size()));
    RegCloseKey(key);
    ASSERT_EQ(status, ERROR_SUCCESS);
}

void registry_sandbox::set_multi(const std::wstring& path, const std::wstring& name,
                                 const std::vector<std::wstring>& strings) {
    set(path, name, REG_MULTI_SZ, multi_string_bytes(strings));
}

bool registry_sandbox::exists(const std::wstring& path) const {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root_, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void registry_sandbox::remove(const std::wstring& path) { RegDeleteTreeW(root_, path.c_str()); }

std::vector<BYTE> multi_string_bytes(const std::vector<std::wstring>& strings) {
    std::vector<BYTE> out;
    auto put = [&](wchar_t u) {
        out.push_back(static_cast<BYTE>(u & 0xFF));
        out.push_back(static_cast<BYTE>((u >> 8) & 0xFF));
    };
    for (const std::wstring& s : strings) {
        for (wchar_t u : s) put(u);
        put(L'\0');
    }
    put(L'\0');
    return out;
}

#pragma once
// Reads what a test plug-in DLL recorded. The object keeps the DLL loaded,
// so its record survives the component unloading it.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "../../Helpers/win32_handles.h"
#include "../../vst/aeffect.h"

class plugin_hooks {
public:
    explicit plugin_hooks(const std::string& name);
    const std::wstring& path() const { return path_; }
    std::string path_utf8() const;

    // Every line the plug-in logged since the last clear.
    std::vector<std::string> log() const;
    // Only the dispatcher lines, as "opcode index value".
    std::vector<std::string> opcodes() const;
    // How many times the dispatcher got this opcode since the last clear.
    int calls(std::int32_t opcode) const;
    void clear() const;
    std::intptr_t host_call(std::int32_t opcode, std::int32_t index = 0, std::intptr_t value = 0,
                            void* ptr = nullptr, float opt = 0.0f) const;
    AEffect* last_record() const;
    // The thread that last sent this opcode since the last clear; 0 if none.
    DWORD opcode_thread(std::int32_t opcode) const;

    template <class Fn>
    Fn hook(const char* name) const {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_.get(), name)));
    }

private:
    std::wstring path_;
    unique_module module_;
};

// "dispatch 12 0 1 0" -> "12 0 1"
std::vector<std::string> dispatch_lines(const std::vector<std::string>& log);

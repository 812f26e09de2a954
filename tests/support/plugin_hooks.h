#pragma once
// Reads what a test plug-in DLL recorded. The object keeps the DLL loaded,
// so its record survives the component unloading it.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "../../Helpers/win32_handles.h"
#include "../../plugin_api/aeffect.h"

struct call_log_area;

// A question for the host, asked by the plug-in (see call_log.h).
struct host_ask {
    std::int32_t opcode = 0;
    std::int32_t index = 0;
    std::int64_t value = 0;
    float opt = 0.0f;
    bool from_own_thread = false;
    int pointer = 0;  // 0 none, 1 `text` handed in, 2 a buffer to fill, 3 the answer points to a text
    std::string text;
};
struct host_answer {
    std::intptr_t dispatched = 0;  // what the dispatcher call that asked answered
    std::int64_t answer = 0;
    std::string text;
};
// Sends a dispatcher call to the plug-in (vst::dispatch, or a record's).
using vst_like_dispatch = std::function<std::intptr_t(std::int32_t opcode, std::int32_t index)>;

class plugin_hooks {
public:
    explicit plugin_hooks(const std::string& name);
    // The log of a copy of a test plug-in at `path` whose file is named
    // `name_in_log` (without extension); the copy is not loaded here.
    plugin_hooks(const std::wstring& path, const std::string& name_in_log);
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
    // Has the plug-in, wherever it runs, ask the host `question` inside a
    // dispatcher call made by `dispatch`.
    host_answer ask_host(vst_like_dispatch dispatch, const host_ask& question) const;
    // The thread that last sent this opcode since the last clear; 0 if none.
    DWORD opcode_thread(std::int32_t opcode) const;

    template <class Fn>
    Fn hook(const char* name) const {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_.get(), name)));
    }

private:
    std::wstring path_;
    unique_module module_;
    call_log_area* log_ = nullptr;
};

// "dispatch 12 0 1 0" -> "12 0 1"
std::vector<std::string> dispatch_lines(const std::vector<std::string>& log);

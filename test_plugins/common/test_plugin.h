#pragma once
// A small base for our test plug-ins: it fills the VST 2.4 record and
// routes the record's calls to virtual functions.
#include <cstdint>
#include <string>
#include <vector>

#include "../../plugin_api/aeffect.h"

#define TEST_PLUGIN_EXPORT extern "C" __declspec(dllexport)

struct plugin_shape {
    std::int32_t unique_id;
    std::int32_t inputs = 2;
    std::int32_t outputs = 2;
    std::int32_t params = 0;
    std::int32_t flags = effFlagsCanReplacing;
    std::int32_t version = 1000;
    std::string product;
    std::string vendor;
    std::int32_t category = kPlugCategEffect;
};

class test_plugin {
public:
    test_plugin(audioMasterCallback host, plugin_shape shape);
    virtual ~test_plugin();

    AEffect* record() { return &effect_; }
    static test_plugin* from(AEffect* e) { return static_cast<test_plugin*>(e->object); }

    virtual std::intptr_t dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                                   float opt);
    virtual void process(float** inputs, float** outputs, std::int32_t frames);
    virtual void set_parameter(std::int32_t index, float value);
    virtual float get_parameter(std::int32_t index);
    virtual std::string parameter_name(std::int32_t index) { return "Param " + std::to_string(index + 1); }
    virtual std::string parameter_label(std::int32_t) { return ""; }
    virtual std::string parameter_display(std::int32_t index);

    // Asks the host what a test left in the shared log (call_log.h).
    void ask_host();

    std::intptr_t call_host(std::int32_t opcode, std::int32_t index = 0, std::intptr_t value = 0,
                            void* ptr = nullptr, float opt = 0.0f) {
        return host_ ? host_(&effect_, opcode, index, value, ptr, opt) : 0;
    }

protected:
    AEffect effect_{};
    audioMasterCallback host_;
    plugin_shape shape_;
    std::vector<float> params_;
    std::string program_name_ = "Default";
};

// Adds a line to this DLL's shared call log (call_log.h).
void test_plugin_note(const char* line);

// Copies text into a plug-in string buffer of `size` bytes.
void copy_text(void* ptr, const std::string& text, std::size_t size);

// A stand-in for vel_vst.dll that the tool's refusals are tried on: it
// registers a scripting interface of the version named by the environment
// variable ORVANE_FAKE_SCRIPTING_VERSION, or none when that is unset. Built
// as bin\fake_component\vel_vst.dll.
#include <windows.h>

#include <cstdlib>

#include "../../host/api.h"
#include "../../host/vst_scripting.h"

namespace {

class old_scripting final : public vst_scripting {
public:
    explicit old_scripting(std::uint32_t version) : version_(version) {}
    int release() noexcept override { return 1; }
    int add_ref() noexcept override { return 1; }
    bool query(service_base*& out, const GUID& guid) override {
        return answer_query<old_scripting, vst_scripting>(this, out, guid);
    }
    std::uint32_t VST_SCRIPTING_CALL version() noexcept override { return version_; }
    // A tool that knows the version never gets this far.
    vst_script_status VST_SCRIPTING_CALL list(vst_script_entry_sink&, vst_script_text& e) noexcept override {
        return refuse(e);
    }
    vst_script_status VST_SCRIPTING_CALL add(const char*, vst_script_add_flags, vst_script_entry_sink&,
                                             vst_script_text& e) noexcept override {
        return refuse(e);
    }
    vst_script_status VST_SCRIPTING_CALL remove(std::uint32_t, const GUID&, vst_script_entry_sink&,
                                                vst_script_text& e) noexcept override {
        return refuse(e);
    }
    vst_script_status VST_SCRIPTING_CALL import_legacy(vst_script_entry_sink&, std::uint32_t&, vst_script_text&,
                                                       vst_script_text& e) noexcept override {
        return refuse(e);
    }
    vst_script_status VST_SCRIPTING_CALL get_parameters(const vst_script_preset&, const char*,
                                                        vst_script_plugin_sink&, vst_script_text& e) noexcept override {
        return refuse(e);
    }
    vst_script_status VST_SCRIPTING_CALL set_parameter(const vst_script_preset&, const char*, std::uint32_t, float,
                                                       vst_script_plugin_sink&, vst_script_text& e) noexcept override {
        return refuse(e);
    }
    vst_script_status VST_SCRIPTING_CALL load_program(const vst_script_preset&, const char*, const char*,
                                                      vst_script_plugin_sink&, vst_script_text& e) noexcept override {
        return refuse(e);
    }
    vst_script_status VST_SCRIPTING_CALL activity(vst_script_activity_sink&, vst_script_text& e) noexcept override {
        return refuse(e);
    }
    vst_script_status VST_SCRIPTING_CALL set_own_process(std::uint32_t, const GUID&, std::uint32_t,
                                                         vst_script_entry_sink&, vst_script_text& e) noexcept override {
        return refuse(e);
    }
    vst_script_status VST_SCRIPTING_CALL set_offline(std::uint32_t, vst_script_text& e) noexcept override {
        return refuse(e);
    }
    vst_script_status VST_SCRIPTING_CALL stream_fit(std::uint32_t, const GUID&, std::uint32_t, std::uint32_t,
                                                    vst_script_stream_fit&, vst_script_text& e) noexcept override {
        return refuse(e);
    }
    vst_script_status VST_SCRIPTING_CALL scan(const char*, vst_script_scan_flags, std::uint32_t, vst_script_scan_sink&,
                                              vst_script_text& e) noexcept override {
        return refuse(e);
    }

private:
    static vst_script_status refuse(vst_script_text& error) {
        static const char text[] = "the fake component does nothing";
        error.set(text, sizeof text - 1);
        return vst_script_internal_error;
    }
    std::uint32_t version_;
};

class scripting_factory final : public service_factory_base {
public:
    explicit scripting_factory(std::uint32_t version) : service_factory_base(vst_scripting::class_guid), object_(version) {}
    service_base* create_instance() override { return &object_; }

private:
    old_scripting object_;
};

class fake_client final : public velmora_client {
public:
    unsigned version() override { return 76; }
    service_factory_base* service_list() override {
        const char* asked = std::getenv("ORVANE_FAKE_SCRIPTING_VERSION");
        if (!asked) return nullptr;
        static scripting_factory factory(static_cast<std::uint32_t>(std::strtoul(asked, nullptr, 10)));
        return &factory;
    }
    void write_configuration(stream_writer&, abort_callback&) override {}
    void read_configuration(stream_reader&, abort_callback&) override {}
    void set_library_path(const char*, const char*) override {}
    void set_services_available(bool) override {}
    bool is_debug_build() override { return false; }
};

}  // namespace

extern "C" __declspec(dllexport) velmora_client* velmora_get_interface(velmora_api*, HINSTANCE) {
    static fake_client client;
    return &client;
}

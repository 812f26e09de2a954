// The component's name, version and installation check.
#include "../host/component_info.h"
#include "component.h"
#include "factory_list.h"
#include "installation_check.h"

namespace {

class componentversion_myimpl : public componentversion {
public:
    bool query(service_base*& out, const GUID& guid) override {
        return answer_query<componentversion_myimpl, componentversion>(this, out, guid);
    }
    void get_file_name(string_base& out) override { out.set_string(component_file_name().c_str()); }
    void get_component_name(string_base& out) override { out.set_string(k_component_name); }
    void get_component_version(string_base& out) override { out.set_string(k_component_version); }
    void get_about_message(string_base& out) override {
        out.set_string(
            "Orvane: VST 2.4 effect plug-ins in the playback DSP chain.\n"
            "Written by the Orvane team.\n"
            "VST is a trademark of its owner.");
    }
};

class component_installation_validator_filename : public component_installation_validator {
public:
    bool query(service_base*& out, const GUID& guid) override {
        return answer_query<component_installation_validator_filename, component_installation_validator>(this, out,
                                                                                                           guid);
    }
    bool is_installed_correctly() override { return is_expected_file_name(component_full_path()); }
};

registered_service<componentversion_myimpl> g_version;
registered_service<component_installation_validator_filename> g_validator;

}  // namespace

// The "VST plug-ins" page of the player's preferences, registered with the
// component's fixed services.
#include "../host/version.h"
#include "../host/window_service.h"
#include "../shell/component.h"
#include "../shell/factory_list.h"
#include "../shell/identifier_text.h"
#include "manager.h"

namespace {

const char k_page_name[] = "VST plug-ins";
constexpr GUID k_page_guid = {0x89C112F4, 0xCDA2, 0x4554, {0x91, 0x8A, 0xE7, 0x56, 0xEA, 0x60, 0x8B, 0x94}};
constexpr GUID k_parent_guid = {0x0E966267, 0x7DFB, 0x433B, {0xA0, 0x7C, 0x3F, 0x8C, 0xDD, 0x31, 0xA2, 0x58}};
const char k_help_site[] = "https://help.velmora.org/";

class vst_manager_page : public preferences_page_impl<manager> {
public:
    void get_name(string_base& out) override { out.set_string(k_page_name); }
    GUID get_guid() override { return k_page_guid; }
    GUID get_parent_guid() override { return k_parent_guid; }
    double get_sort_priority() override { return 0.0; }
    bool get_help_url(string_base& out) override {
        out.set_string(k_help_site);
        out.add_string(host_service<core_version_info>()->version_string());
        out.add_string("/preferences/");
        out.add_string(format_identifier(k_page_guid).c_str());
        out.add_string("/");
        out.add_string(k_page_name);
        return true;
    }
};

preferences_page_factory_t<vst_manager_page> g_page;
const bool g_page_linked = (link_factory(g_page), true);

}  // namespace

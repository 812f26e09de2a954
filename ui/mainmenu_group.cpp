// The "DSP" submenu of the host's main menu.
#include "../host/mainmenu.h"
#include "../shell/factory_list.h"

namespace {

class mainmenu_group_popup_impl : public mainmenu_group_popup {
public:
    bool query(service_base*& out, const GUID& guid) override {
        return answer_query<mainmenu_group_popup_impl, mainmenu_group_popup, mainmenu_group>(this, out, guid);
    }
    GUID get_guid() override { return {0x44963E7A, 0x4B2A, 0x4588, {0xB0, 0x17, 0xA8, 0x69, 0x18, 0xCB, 0x8A, 0xA5}}; }
    // A predefined group of the host's main menu.
    GUID get_parent() override { return {0xF8BE5604, 0x165F, 0x4BB9, {0xB6, 0xA9, 0x15, 0xE5, 0x5E, 0x0E, 0x0D, 0x3A}}; }
    std::uint32_t get_sort_priority() override { return 0x10000; }
    void get_display_string(string_base& out) override { out.set_string("DSP"); }
};

using mainmenu_group_popup_factory = registered_service<mainmenu_group_popup_impl>;
mainmenu_group_popup_factory g_dsp_group;

}  // namespace

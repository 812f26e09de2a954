// The commands of the "DSP" submenu: one per playback chain entry, at most
// 15, each opening that entry's configuration popup on a thread of its own.
#include <string>

#include "../host/dsp_chain.h"
#include "../host/dsp_config.h"
#include "../host/mainmenu.h"
#include "../shell/component.h"
#include "../shell/factory_list.h"
#include "menu_edit.h"
#include "menu_edit_list.h"

namespace {

constexpr std::uint32_t k_command_count = 15;
constexpr GUID k_dsp_group = {0x44963E7A, 0x4B2A, 0x4588, {0xB0, 0x17, 0xA8, 0x69, 0x18, 0xCB, 0x8A, 0xA5}};

// Main thread, every operation.
class mainmenu_commands_sample : public mainmenu_commands {
public:
    bool query(service_base*& out, const GUID& guid) override {
        return answer_query<mainmenu_commands_sample, mainmenu_commands>(this, out, guid);
    }
    std::uint32_t get_command_count() override {
        chain_.remove_all();
        host_service<dsp_config_manager>()->read_chain(chain_);
        return k_command_count;
    }
    GUID get_command(std::uint32_t index) override {
        return {0xC047C332, 0xE32C, static_cast<unsigned short>(0x4833 + index),
                {0x96, 0x90, 0x27, 0xE1, 0x6B, 0xE2, 0x54, 0x68}};
    }
    void get_name(std::uint32_t index, string_base& out) override {
        out.set_string(("DSP #" + std::to_string(index + 1) + " config").c_str());
    }
    bool get_description(std::uint32_t, string_base& out) override {
        out.set_string("Opens DSP configuration window.");
        return true;
    }
    GUID get_parent() override { return k_dsp_group; }
    std::uint32_t get_sort_priority(std::uint32_t) override { return sort_priority_dontcare; }

    // Entries from the sixteenth on have no command, however long the chain.
    bool get_display(std::uint32_t index, string_base& text, std::uint32_t& flags) override {
        if (index >= k_command_count || index >= chain_.get_count()) return false;
        const dsp_preset& e = chain_.get_item(index);
        service_ptr_t<dsp_entry> dsp = find_dsp_entry(e.get_owner());
        if (!dsp || !dsp->has_config_popup()) flags |= flag_disabled;
        if (menu_edit_list::contains(e)) flags |= flag_disabled | flag_checked;
        if (dsp) dsp->get_name(text);
        return true;
    }

    // The host's callback service is not used.
    void execute(std::uint32_t index, service_base*) override {
        if (index >= k_command_count || index >= chain_.get_count()) return;
        const dsp_preset& e = chain_.get_item(index);
        if (!has_config_popup(e.get_owner())) return;
        if (menu_edit_list::contains(e)) return;  // a menu edit for this entry is running
        start_menu_edit(e);
    }

private:
    dsp_chain_config_impl chain_;  // as the last command count left it
};

template <class T>
using mainmenu_commands_factory_t = registered_service<T>;
mainmenu_commands_factory_t<mainmenu_commands_sample> g_dsp_commands;

}  // namespace

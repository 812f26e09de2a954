#include "isolation.h"

#include "../Helpers/utf.h"
#include "../prefs/advanced_settings.h"
#include "../prefs/process_choice.h"
#include "module_path.h"
#include "pe_machine.h"

namespace {

std::uint16_t foreign_machine_at(const std::string& resolved_path) {
    const std::uint16_t machine = pe_machine(utf8_to_wide(resolved_path));
    const bool known = machine == k_machine_x86 || machine == k_machine_x64;
    return known && machine != own_machine() ? machine : k_machine_unknown;
}

}  // namespace

bool isolation_wanted(const entry& configured) {
    return every_plugin_in_own_process_setting().get_state() || own_process_choice().own_process(configured.identifier);
}

std::uint16_t foreign_machine(const entry& configured) {
    return foreign_machine_at(resolve_module_path(configured.module_path));
}

bool runs_in_own_process(const std::string& resolved_path, const entry& configured, plugin_place place) {
    if (place != plugin_place::as_chosen) return place != plugin_place::in_process;
    if (foreign_machine_at(resolved_path) != k_machine_unknown) return true;
    return isolation_wanted(configured);
}

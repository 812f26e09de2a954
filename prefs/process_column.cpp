#include "process_column.h"

#include <algorithm>

#include "../host/process_text.h"
#include "../vst/isolation.h"
#include "../vst/pe_machine.h"
#include "advanced_settings.h"
#include "process_choice.h"

void process_column::load() {
    own_ = own_process_choice().chosen();
    every_plugin_ = every_plugin_in_own_process_setting().get_state();
    changed_ = false;
    foreign_.clear();
}

std::string process_column::text(const entry& row) {
    return process_text({!switchable(row), chosen(row), every_plugin_});
}

bool process_column::switchable(const entry& row) {
    auto known = foreign_.find(row.module_path);
    if (known == foreign_.end()) known = foreign_.emplace(row.module_path, foreign_machine(row)).first;
    return known->second == k_machine_unknown;
}

bool process_column::chosen(const entry& row) const {
    return std::find(own_.begin(), own_.end(), row.identifier) != own_.end();
}

process_column::switch_state process_column::state_of(const std::vector<const entry*>& selected) {
    bool any_own = false, any_player = false, any = false;
    for (const entry* row : selected) {
        any = true;
        if (!switchable(*row)) continue;
        (chosen(*row) ? any_own : any_player) = true;
    }
    if (!any) return switch_state::none;
    if (!any_own && !any_player) return switch_state::fixed;
    return any_own ? (any_player ? switch_state::mixed : switch_state::on) : switch_state::off;
}

void process_column::choose(const std::vector<const entry*>& rows, bool own) {
    for (const entry* row : rows) {
        if (!switchable(*row) || chosen(*row) == own) continue;
        if (own)
            own_.push_back(row->identifier);
        else
            own_.erase(std::remove(own_.begin(), own_.end(), row->identifier), own_.end());
        changed_ = true;
    }
}

void process_column::apply(const std::vector<const entry*>& rows) {
    std::vector<GUID> kept;
    for (const entry* row : rows)
        if (switchable(*row) && chosen(*row)) kept.push_back(row->identifier);
    own_process_choice().assign(kept);
    changed_ = false;
}

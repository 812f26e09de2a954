#include "process_column.h"

#include <algorithm>

#include "../host/process_text.h"
#include "../vst/isolation.h"
#include "../vst/pe_machine.h"
#include "advanced_settings.h"
#include "process_choice.h"

void process_column::load() {
    own_ = own_process_choice().chosen();
    moved_ = own_process_choice().moved();
    switched_.clear();
    every_plugin_ = every_plugin_in_own_process_setting().get_state();
    changed_ = false;
    foreign_.clear();
}

std::string process_column::text(const entry& row) {
    return process_text({!switchable(row), chosen(row), every_plugin_, moved(row)});
}

bool process_column::switchable(const entry& row) {
    auto known = foreign_.find(row.module_path);
    if (known == foreign_.end()) known = foreign_.emplace(row.module_path, foreign_machine(row)).first;
    return known->second == k_machine_unknown;
}

namespace {

bool holds(const std::vector<GUID>& set, const GUID& id) { return std::find(set.begin(), set.end(), id) != set.end(); }

}  // namespace

bool process_column::chosen(const entry& row) const { return holds(own_, row.identifier); }

bool process_column::moved(const entry& row) const { return holds(moved_, row.identifier); }

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
        if (!switchable(*row)) continue;
        // Switched by hand, a row moved after a crash is the user's choice
        // from then on, whichever way it went.
        if (moved(*row)) {
            moved_.erase(std::remove(moved_.begin(), moved_.end(), row->identifier), moved_.end());
            changed_ = true;
        }
        if (!holds(switched_, row->identifier)) switched_.push_back(row->identifier);
        if (chosen(*row) == own) continue;
        if (own)
            own_.push_back(row->identifier);
        else
            own_.erase(std::remove(own_.begin(), own_.end(), row->identifier), own_.end());
        changed_ = true;
    }
}

void process_column::apply(const std::vector<const entry*>& rows) {
    // The playback thread may have moved a plug-in since load().
    const std::vector<GUID> moved_since = own_process_choice().moved();
    std::vector<GUID> kept, kept_moved;
    for (const entry* row : rows) {
        if (!switchable(*row)) continue;
        const bool untouched_move = !holds(switched_, row->identifier) && holds(moved_since, row->identifier);
        if (chosen(*row) || untouched_move) kept.push_back(row->identifier);
        if (moved(*row) || untouched_move) kept_moved.push_back(row->identifier);
    }
    own_process_choice().assign(kept, kept_moved);
    changed_ = false;
}

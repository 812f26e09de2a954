#pragma once
// The presets being edited from the main menu, one per running menu edit.
// Menu-edit threads change it while the main thread reads it, so every
// operation takes one lock, and none calls out while holding it.
#include <optional>

#include "../host/dsp_preset.h"

namespace menu_edit_list {

void append(const dsp_preset& preset);
// The index of the first element equal to `preset`.
std::optional<std::size_t> find(const dsp_preset& preset);
bool contains(const dsp_preset& preset);
// Overwrites the first element equal to `old_preset`; answers whether there was one.
bool overwrite(const dsp_preset& old_preset, const dsp_preset& new_preset);
void remove_all_equal(const dsp_preset& preset);

}  // namespace menu_edit_list

#include "menu_edit_list.h"

#include <algorithm>
#include <vector>

#include "../Helpers/critical_section.h"

namespace {

struct guarded_list {
    critical_section lock;
    std::vector<dsp_preset_impl> items;
};

guarded_list& list() {
    static guarded_list l;
    return l;
}

}  // namespace

namespace menu_edit_list {

void append(const dsp_preset& preset) {
    dsp_preset_impl copy(preset);  // copied before the lock: no allocation under it
    critical_section_scope guard(list().lock);
    list().items.push_back(std::move(copy));
}

std::optional<std::size_t> find(const dsp_preset& preset) {
    critical_section_scope guard(list().lock);
    const auto& items = list().items;
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i].equals(preset)) return i;
    return std::nullopt;
}

bool contains(const dsp_preset& preset) { return find(preset).has_value(); }

bool overwrite(const dsp_preset& old_preset, const dsp_preset& new_preset) {
    dsp_preset_impl copy(new_preset);
    critical_section_scope guard(list().lock);
    for (dsp_preset_impl& item : list().items)
        if (item.equals(old_preset)) {
            item = std::move(copy);
            return true;
        }
    return false;
}

void remove_all_equal(const dsp_preset& preset) {
    critical_section_scope guard(list().lock);
    auto& items = list().items;
    items.erase(std::remove_if(items.begin(), items.end(), [&](const dsp_preset_impl& p) { return p.equals(preset); }),
                items.end());
}

}  // namespace menu_edit_list

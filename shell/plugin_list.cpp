#include "plugin_list.h"

#include <cstring>

entry_list& plugin_list() {
    static entry_list list;
    return list;
}

const entry* find_entry(const GUID& id) {
    for (const auto& e : plugin_list())
        if (std::memcmp(&e->identifier, &id, sizeof id) == 0) return e.get();
    return nullptr;
}

const entry* slot_entry(int slot) {
    const entry_list& list = plugin_list();
    return slot >= 0 && static_cast<std::size_t>(slot) < list.size() ? list[static_cast<std::size_t>(slot)].get()
                                                                      : nullptr;
}

// The component's plug-in list: show, add (checked the way the preferences
// page checks), remove. Changes take effect the next time the player starts.
#include <windows.h>

#include <cstdio>
#include <memory>

#include "../Helpers/utf.h"
#include "../shell/list_file.h"
#include "../vst/vst.h"
#include "cli_error.h"
#include "commands.h"

namespace {

constexpr std::size_t k_add_limit = 20;

entry_list read_list(session& s) {
    entry_list list;
    load_list_file(s.prof().list_file(), list);
    return list;
}

void write_list(session& s, const entry_list& list) {
    const list_save_result saved = save_list_file(s.prof().list_file(), list);
    if (!saved.saved) throw cli_error(saved.error);
    s.list_changed();
}

std::string absolute_path(const std::string& path) {
    std::wstring wide = utf8_to_wide(path);
    wchar_t full[MAX_PATH] = {};
    DWORD n = GetFullPathNameW(wide.c_str(), MAX_PATH, full, nullptr);
    return n > 0 && n < MAX_PATH ? wide_to_utf8(full) : path;
}

}  // namespace

void cmd_plugins(session& s, const args& a) {
    if (!a.empty()) throw cli_error("plugins takes no arguments", 2);
    entry_list list = read_list(s);
    if (list.empty()) {
        std::printf("No plug-ins listed. Add one with: orvane add PLUGIN.dll\n");
        return;
    }
    std::printf("  #  %-24s %-18s %-6s %s\n", "Product", "Vendor", "I/O", "Module");
    for (std::size_t i = 0; i < list.size(); ++i) {
        const entry& e = *list[i];
        std::printf("%3zu  %-24s %-18s %-6s %s%s\n", i + 1, e.product_name.c_str(), e.vendor_name.c_str(),
                    e.channel_summary.c_str(), e.module_path.c_str(), i >= 20 ? "  (not offered: only 20 are)" : "");
    }
}

void cmd_add(session& s, const args& a) {
    if (a.size() != 1) throw cli_error("usage: orvane add PLUGIN.dll", 2);
    entry_list list = read_list(s);
    if (list.size() >= k_add_limit)
        throw cli_error("the list already holds " + std::to_string(list.size()) + " plug-ins; at most 20 can be used");

    s.linked();  // the component's checks need the player's services
    auto checked = std::make_unique<vst>(entry(absolute_path(a[0])), true);
    if (!checked->loaded) throw cli_error(one_line(checked->diagnosis));
    for (const auto& e : list)
        if (e->identifier == checked->identifier)
            throw cli_error("This plug-in is already in the list. (" + e->product_name + ", " + e->module_path + ")");

    const std::string added = "Added " + checked->product_name + " by " + checked->vendor_name + ", " +
                              checked->channel_summary + ", as effect " + std::to_string(list.size() + 1);
    list.push_back(std::make_unique<entry>(static_cast<const entry&>(*checked)));
    checked.reset();
    write_list(s, list);
    std::printf("%s\n", added.c_str());
}

void cmd_remove(session& s, const args& a) {
    if (a.size() != 1) throw cli_error("usage: orvane remove NUMBER|PRODUCT", 2);
    entry_list list = read_list(s);
    std::size_t index = list.size();
    for (std::size_t i = 0; i < list.size(); ++i)
        if (lower(list[i]->product_name) == lower(a[0])) index = i;
    if (index == list.size()) index = parse_position(a[0], list.size(), "plug-in") - 1;
    // A chain position whose plug-in left the list would pass audio through
    // untouched: the chain has to let go of it first.
    const dsp_chain_config& chain = s.prof().state.chain;
    std::string positions;
    std::size_t users = 0;
    for (std::size_t i = 0; i < chain.get_count(); ++i)
        if (chain.get_item(i).get_owner() == list[index]->identifier) {
            positions += (positions.empty() ? "" : ", ") + std::to_string(i + 1);
            ++users;
        }
    if (users > 0)
        throw cli_error(list[index]->product_name + " is used by chain position" + (users == 1 ? " " : "s ") +
                        positions + "; take " + (users == 1 ? "it" : "them") +
                        " out of the chain first (orvane chain remove POS)");
    const std::string removed = "Removed " + list[index]->product_name + " (" + list[index]->module_path + ")";
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(index));
    write_list(s, list);
    std::printf("%s\n", removed.c_str());
}

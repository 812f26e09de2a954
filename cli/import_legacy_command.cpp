// orvane import-legacy: the plug-in list an older release kept in the
// registry replaces the profile's list, as Shift+Add and apply do on the
// preferences page.
#include <cstdio>

#include "cli_error.h"
#include "commands.h"

void cmd_import_legacy(session& s, const args& a) {
    if (!a.empty()) throw cli_error("import-legacy takes no arguments", 2);
    std::size_t before = 0;
    std::string source;
    const std::vector<listed_plugin> imported = s.scripting().import_legacy(before, source);
    s.list_changed();

    std::printf("Imported %zu plug-in%s from %s, replacing the %zu listed before:\n", imported.size(),
                imported.size() == 1 ? "" : "s", source.c_str(), before);
    for (std::size_t i = 0; i < imported.size(); ++i) {
        const listed_plugin& e = imported[i];
        std::printf("%3zu  %-24s %-18s %-6s %s\n", i + 1, e.product_name.c_str(), e.vendor_name.c_str(),
                    e.channel_summary.c_str(), e.module_path.c_str());
    }
    std::printf("The plug-ins were not checked. The player must restart for the changes to take effect.\n");
}

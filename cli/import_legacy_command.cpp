// orvane import-legacy: the plug-in list an older release kept in the
// registry replaces the profile's list, as Shift+Add and apply do on the
// preferences page.
#include <cstdio>

#include "../Helpers/utf.h"
#include "../prefs/legacy_import.h"
#include "../shell/list_file.h"
#include "cli_error.h"
#include "commands.h"

void cmd_import_legacy(session& s, const args& a) {
    if (!a.empty()) throw cli_error("import-legacy takes no arguments", 2);
    const std::string key = "HKEY_CURRENT_USER\\" + wide_to_utf8(k_legacy_key_path);
    entry_list imported;
    try {
        import_legacy_list(imported);
    } catch (const wchar_t* assertion) {
        throw cli_error(wide_to_utf8(assertion ? assertion : L"registry error"));
    }
    // The page would empty the list here; the tool keeps it rather than
    // replace it with nothing.
    if (imported.empty()) throw cli_error("no legacy plug-in list in the registry (" + key + ")");

    entry_list before;
    load_list_file(s.prof().list_file(), before);
    const list_save_result saved = save_list_file(s.prof().list_file(), imported);
    if (!saved.saved) throw cli_error(saved.error);
    if (!list_file_holds(s.prof().list_file(), imported)) {
        save_list_file(s.prof().list_file(), before);
        throw cli_error("the plug-in list " + wide_to_utf8(s.prof().list_file()) + " did not read back as imported");
    }
    s.list_changed();

    std::printf("Imported %zu plug-in%s from %s, replacing the %zu listed before:\n", imported.size(),
                imported.size() == 1 ? "" : "s", key.c_str(), before.size());
    for (std::size_t i = 0; i < imported.size(); ++i) {
        const entry& e = *imported[i];
        std::printf("%3zu  %-24s %-18s %-6s %s\n", i + 1, e.product_name.c_str(), e.vendor_name.c_str(),
                    e.channel_summary.c_str(), e.module_path.c_str());
    }
    std::printf("The plug-ins were not checked. The player must restart for the changes to take effect.\n");
}

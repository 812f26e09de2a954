#include "legacy_import.h"

#include "../Helpers/regkey.h"
#include "../Helpers/utf.h"
#include "../shell/list_field.h"

void import_legacy_list(entry_list& list) {
    regkey key(HKEY_CURRENT_USER, k_legacy_key_path, KEY_READ);
    // A key that can be neither opened nor created holds no list; the
    // parent's own values are not the list's.
    if (!key.opened()) return;
    for (auto it = key.begin(); it != key.end(); ++it) {
        if (it.value().type != REG_MULTI_SZ || it.name().empty() || it.name()[0] != L'{') continue;
        entry::lines texts;
        // A value with fewer strings leaves the missing texts empty. What
        // an older release stored is cut and cleaned to what a line of the
        // list file holds, so the list saves and reads back as imported.
        for (std::size_t i = 0; i < texts.size(); ++i) {
            const std::optional<std::wstring> s = it.value().string(i);
            texts[i] = s ? clean_list_field(wide_to_utf8(*s)) : std::string();
        }
        list.push_back(std::make_unique<entry>(texts));
    }
}

#pragma once
// The plug-in list an older release kept in the current user's registry,
// read only when the user asks for it (Shift+Add on the preferences page).
#include "../shell/entry.h"

inline constexpr wchar_t k_legacy_key_path[] = L"Software\\Tamsk\\Q7R Orvane";

// Appends one record per REG_MULTI_SZ value whose name begins with "{", in
// the registry's order, taken as stored: nothing is loaded or checked.
void import_legacy_list(entry_list& list);

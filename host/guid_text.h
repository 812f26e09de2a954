#pragma once
// A GUID as text, "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" in capitals and
// without braces: how the plug-in list file and everything that shows an
// identifier write it, the component and a program that drives it alike.
#include <windows.h>

#include <cstdio>
#include <string>

inline std::string guid_text(const GUID& id) {
    char text[40];
    std::snprintf(text, sizeof text, "%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                  static_cast<unsigned long>(id.Data1), id.Data2, id.Data3, id.Data4[0], id.Data4[1], id.Data4[2],
                  id.Data4[3], id.Data4[4], id.Data4[5], id.Data4[6], id.Data4[7]);
    return text;
}

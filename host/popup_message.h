#pragma once
// Shows a message box to the user.
#include <cstddef>

#include "service.h"

class popup_message : public service_base {
public:
    using service_class = popup_message;
    static constexpr GUID class_guid = {0xD5CAC75A, 0x3023, 0x4DCE, {0x8B, 0x0D, 0xB5, 0x02, 0xBD, 0x05, 0x6A, 0x7C}};
    enum icon { icon_information = 0, icon_error = 1 };
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    // Lengths of npos mean "up to the first NUL".
    virtual void show(const char* text, std::size_t text_len, const char* title, std::size_t title_len,
                      icon kind) = 0;
};

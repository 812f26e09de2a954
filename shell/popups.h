#pragma once
// Everything the user sees goes through the host's message service.
#include <string>

#include "../host/popup_message.h"

inline constexpr char k_title_error[] = "Error";
inline constexpr char k_title_not_implemented[] = "Not implemented";
inline constexpr char k_title_id_mismatch[] = "VST ID mismatch";

void show_popup(const std::string& text, const char* title, popup_message::icon icon);

#include "popups.h"

#include "component.h"

void show_popup(const std::string& text, const char* title, popup_message::icon icon) {
    host_service<popup_message>()->show(text.c_str(), popup_message::npos, title, popup_message::npos, icon);
}

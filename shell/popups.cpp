#include "popups.h"

#include "component.h"

namespace {
thread_local popup_capture* t_capture = nullptr;
}  // namespace

void show_popup(const std::string& text, const char* title, popup_message::icon icon) {
    if (t_capture) {
        t_capture->messages_.push_back({text, title, icon});
        return;
    }
    host_service<popup_message>()->show(text.c_str(), popup_message::npos, title, popup_message::npos, icon);
}

popup_capture::popup_capture() : outer_(t_capture) { t_capture = this; }

popup_capture::~popup_capture() { t_capture = outer_; }

bool popup_capture::active() { return t_capture != nullptr; }

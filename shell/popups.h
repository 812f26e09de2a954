#pragma once
// Everything the user sees goes through the host's message service.
#include <string>
#include <vector>

#include "../host/popup_message.h"

inline constexpr char k_title_error[] = "Error";
inline constexpr char k_title_not_implemented[] = "Not implemented";
inline constexpr char k_title_id_mismatch[] = "VST ID mismatch";

void show_popup(const std::string& text, const char* title, popup_message::icon icon);

// While one lives, the messages its thread shows are kept in it instead of
// reaching the host: a scripting caller, who has no one to show a message
// box to, gets them back as its error text. Captures nest.
class popup_capture {
public:
    struct message {
        std::string text;
        std::string title;
        popup_message::icon icon;
    };

    popup_capture();
    ~popup_capture();
    popup_capture(const popup_capture&) = delete;
    popup_capture& operator=(const popup_capture&) = delete;

    const std::vector<message>& messages() const { return messages_; }
    // True while a capture lives on the calling thread.
    static bool active();

private:
    friend void show_popup(const std::string&, const char*, popup_message::icon);
    popup_capture* outer_;
    std::vector<message> messages_;
};

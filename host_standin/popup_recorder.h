#pragma once
// The host's message box: the stand-in keeps every message it was asked to
// show and can print it.
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "../host/popup_message.h"

struct popup_record {
    std::string text;
    std::string title;
    popup_message::icon icon;

    bool operator==(const popup_record& o) const { return text == o.text && title == o.title && icon == o.icon; }
};

class popup_recorder : public popup_message {
public:
    bool query(service_base*& out, const GUID& guid) override {
        return answer_query<popup_recorder, popup_message>(this, out, guid);
    }
    void show(const char* text, std::size_t text_len, const char* title, std::size_t title_len, icon kind) override;

    std::vector<popup_record> messages() const;
    void clear();
    // Also write every message to standard error as "Title: text".
    void set_echo(bool echo) { echo_ = echo; }
    // The next show throws a host_exception with `message` instead: a message
    // box that cannot be shown.
    void fail_next(std::string message);
    // Runs on the showing thread for each message after it is recorded, as
    // a user would act while the box is up. Set it before anything shows.
    void set_on_show(std::function<void(const popup_record&)> action) { on_show_ = std::move(action); }

private:
    mutable std::mutex mutex_;
    std::vector<popup_record> messages_;
    bool echo_ = false;
    std::string failure_;
    std::function<void(const popup_record&)> on_show_;
};

#include "popup_recorder.h"

#include <cstdio>
#include <utility>

#include "../host/exceptions.h"

namespace {
std::string take(const char* text, std::size_t len) {
    if (!text) return {};
    return len == popup_message::npos ? std::string(text) : std::string(text, len);
}
}  // namespace

void popup_recorder::show(const char* text, std::size_t text_len, const char* title, std::size_t title_len,
                          icon kind) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!failure_.empty()) throw host_exception(std::exchange(failure_, std::string()));
    }
    popup_record r{take(text, text_len), take(title, title_len), kind};
    if (echo_) {
        std::string flat = r.text;
        for (char& c : flat)
            if (c == '\r' || c == '\n') c = ' ';
        while (flat.find("  ") != std::string::npos) flat.erase(flat.find("  "), 1);
        std::fprintf(stderr, "%s: %s\n", r.title.c_str(), flat.c_str());
        std::fflush(stderr);
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        messages_.push_back(r);
    }
    if (on_show_) on_show_(r);
}

std::vector<popup_record> popup_recorder::messages() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
}

void popup_recorder::fail_next(std::string message) {
    std::lock_guard<std::mutex> lock(mutex_);
    failure_ = std::move(message);
}

void popup_recorder::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.clear();
}

#include "session.h"

#include "../Helpers/folders.h"
#include "../host/popup_message.h"
#include "cli_error.h"

extern "C" velmora_client* velmora_get_interface(velmora_api* api, HINSTANCE instance);

std::wstring tool_folder() { return executable_folder(); }

session::session(const tool_options& options) : options_(options), profile_(options.profile_folder) {}

session::~session() {
    player_.reset();
    linked_.reset();
}

component_host& session::player() {
    if (!player_) {
        host_options o;
        o.component_path = tool_folder() + L"vel_vst.dll";
        o.profile_folder = profile_.folder_utf8();
        o.configuration = profile_.state.configuration;
        o.echo_popups = true;
        player_ = std::make_unique<component_host>(o);
        player_->chain().load(profile_.state.chain);
        try {
            player_->start();
        } catch (const std::exception& e) {
            player_.reset();
            throw cli_error(e.what());
        }
    }
    return *player_;
}

component_host& session::linked() {
    if (!linked_) {
        host_options o;
        o.linked_entry = &velmora_get_interface;
        o.profile_folder = profile_.folder_utf8();
        o.configuration = profile_.state.configuration;
        // The commands that use it turn its messages into their own errors.
        o.echo_popups = false;
        linked_ = std::make_unique<component_host>(o);
        linked_->start();
    }
    return *linked_;
}

std::string session::last_error_popup(component_host& host) const {
    std::string text;
    for (const popup_record& r : host.popups().messages())
        if (r.icon == popup_message::icon_error) text = r.text;
    return text;
}

void session::commit_state() {
    profile_.save();
    if (player_) player_->chain().write_chain(profile_.state.chain);
}

void session::list_changed() {
    player_.reset();
    linked_.reset();
}

#include "session.h"

#include "../Helpers/folders.h"
#include "../Helpers/utf.h"
#include "cli_error.h"

namespace {
const wchar_t k_component_file[] = L"vel_vst.dll";
}  // namespace

std::wstring tool_folder() { return executable_folder(); }

session::session(const tool_options& options) : options_(options), profile_(options.profile_folder) {}

session::~session() { stop(); }

void session::start(bool with_chain, const std::function<void(component_scripting&)>& before_chain) {
    host_options o;
    o.component_path = tool_folder() + k_component_file;
    o.profile_folder = profile_.folder_utf8();
    o.configuration = profile_.state.configuration;
    o.echo_popups = true;
    if (before_chain)
        o.before_start_hooks = [this, before_chain](component_host& host) {
            scripting_ = std::make_unique<component_scripting>(host, wide_to_utf8(tool_folder() + k_component_file));
            before_chain(*scripting_);
        };
    player_ = std::make_unique<component_host>(o);
    if (with_chain) player_->chain().load(profile_.state.chain);
    runs_chain_ = with_chain;
    try {
        player_->start();
    } catch (const cli_error&) {
        scripting_.reset();
        player_.reset();
        throw;
    } catch (const std::exception& e) {
        scripting_.reset();
        player_.reset();
        throw cli_error(e.what());
    }
}

// The interface's references go before the component they point into.
void session::stop() {
    scripting_.reset();
    player_.reset();
}

component_host& session::player() {
    if (player_ && !runs_chain_) stop();
    if (!player_) start(true);
    return *player_;
}

bool session::start_player(const std::function<void(component_scripting&)>& before_chain) {
    if (player_ && !runs_chain_) stop();
    if (player_) return false;
    start(true, before_chain);
    return true;
}

component_scripting& session::scripting() {
    if (!player_) start(false);
    if (!scripting_)
        scripting_ = std::make_unique<component_scripting>(*player_, wide_to_utf8(tool_folder() + k_component_file));
    return *scripting_;
}

component_host& session::component() {
    scripting();
    return *player_;
}

void session::commit_state() {
    profile_.save();
    if (player_ && runs_chain_) player_->chain().write_chain(profile_.state.chain);
}

void session::list_changed() { stop(); }

void session::keep_configuration() {
    if (!player_) return;
    profile_.state.configuration = player_->save_configuration();
    profile_.save();
}

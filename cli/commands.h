#pragma once
// The tool's commands. Each reads its arguments, does its job completely or
// throws a cli_error having changed nothing.
#include <string>
#include <vector>

#include "../host/guid_text.h"
#include "session.h"

using args = std::vector<std::string>;

void cmd_info(session& s, const args& a);
void cmd_set(session& s, const args& a);
void cmd_plugins(session& s, const args& a);
void cmd_add(session& s, const args& a);
void cmd_remove(session& s, const args& a);
void cmd_isolate(session& s, const args& a);
void cmd_chain(session& s, const args& a);
void cmd_params(session& s, const args& a);
void cmd_param(session& s, const args& a);
void cmd_fxp(session& s, const args& a);
void cmd_process(session& s, const args& a);
void cmd_scan(session& s, const args& a);
// The component's "VST plug-ins" preferences page.
inline constexpr GUID k_vst_page = {0x89C112F4, 0xCDA2, 0x4554, {0x91, 0x8A, 0xE7, 0x56, 0xEA, 0x60, 0x8B, 0x94}};
void cmd_prefs(session& s, const args& a);
void cmd_import_legacy(session& s, const args& a);
void cmd_edit(session& s, const args& a);
void cmd_gui(session& s, const args& a);
void cmd_demo(const tool_options& options, const args& a);

// Helpers shared by the commands.
unsigned parse_position(const std::string& text, std::size_t count, const char* what);
std::string lower(std::string s);
// A path the tool was given, as a full path from the current folder.
std::string full_path(const std::string& path);
// A GUID as 8-4-4-4-12 upper-case hexadecimal digits, without braces.
// Windows need a display; without one this is the command's error.
void require_display(component_host& player);
// Where a listed plug-in runs, in the words of the page's "Process" column.
std::string process_text(const listed_plugin& e);
// Saves the player's current chain as the profile's.
void keep_player_chain(session& s);
// Whether the component's checkbox setting of that name is on.
bool checkbox_setting_on(component_host& host, const char* name);
inline constexpr char k_match_channels_setting[] = "Match plug-in channels to the stream";

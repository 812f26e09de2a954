#pragma once
// Where a listed plug-in runs from its next load, as the preferences page's
// "Process" column and a program that drives the component (the tool's
// `plugins`) both say it.
struct plugin_process_facts {
    bool other_architecture = false;  // its DLL is of the other architecture: always in its own
    bool chosen = false;              // a process of its own is chosen for it
    bool every_plugin = false;        // "Run every plug-in in its own process" is on
    bool moved_after_crash = false;   // chosen after it crashed in the player's process, not by the user
};

inline constexpr char k_process_player[] = "player";       // in the player's process
inline constexpr char k_process_own[] = "own";             // in its own, as chosen
inline constexpr char k_process_own_all[] = "own (all)";   // in its own, as every plug-in
inline constexpr char k_process_own_after_crash[] = "own (after a crash)";  // in its own, since it crashed in the player's
// In its own, as a DLL of the other architecture than the running component's.
inline constexpr const char* k_process_own_foreign = sizeof(void*) == 8 ? "own (x86)" : "own (x64)";

inline const char* process_text(const plugin_process_facts& f) {
    if (f.other_architecture) return k_process_own_foreign;
    if (f.chosen) return f.moved_after_crash ? k_process_own_after_crash : k_process_own;
    return f.every_plugin ? k_process_own_all : k_process_player;
}

#pragma once
// The component's scripting interface: its plug-in list and the plug-in
// state inside DSP presets, for a program that drives the component without
// its windows (the orvane tool). The player never asks for this class, so it
// changes nothing for the player.
//
// Rules of the boundary, so that it holds on x86 as on x64 whatever either
// side's compiler does with C++ exceptions:
// - Nothing is thrown across it, in either direction: every operation
//   answers a status, and on failure hands `error` one line of UTF-8 meant
//   for the user, complete as it is. Sinks and text receivers the caller
//   passes in must not throw either.
// - Records hold fixed-width integers, GUIDs and pointers to NUL-terminated
//   UTF-8 (or bytes with a 32-bit count); a pointer handed to a sink is
//   valid only during that call.
// - Every operation of the class's own has an explicit calling convention.
// - The version operation keeps position 3 for good. A later version only
//   appends operations, record fields and flag bits, and raises the number;
//   a caller refuses a version it does not know.
//
// All operations run on the host's main thread, but for activity, which any
// thread may call. What the choice of a process changes is kept in the
// component's configuration: a caller that keeps it writes the
// configuration afterwards, as the player does when it ends.
#include <windows.h>

#include <cstdint>

#include "service.h"

#define VST_SCRIPTING_CALL __stdcall

inline constexpr std::uint32_t k_vst_scripting_version = 5;

enum vst_script_status : std::int32_t {
    vst_script_ok = 0,
    vst_script_refused = 1,         // the component will not do it: a plug-in that fails its check, a duplicate, a full list, a file it refuses
    vst_script_io_error = 2,        // a file could not be read or written
    vst_script_bad_argument = 3,    // a null pointer, an unknown flag, a value outside its range
    vst_script_out_of_range = 4,    // a list position or a parameter index that does not exist
    vst_script_not_listed = 5,      // a preset whose owner is no plug-in of the list
    vst_script_internal_error = 6,  // something the component did not expect
};

static_assert(sizeof(vst_script_status) == 4, "statuses cross the interface as 32-bit integers");
static_assert(sizeof(GUID) == 16, "identifiers cross the interface as 16 bytes");

// Flags of a listed plug-in.
enum : std::uint32_t {
    vst_script_entry_has_editor = 1u << 0,
    // Version 3: where it runs from its next load.
    vst_script_entry_own_process_chosen = 1u << 1,   // the user chose a process of its own for it
    vst_script_entry_other_architecture = 1u << 2,   // its DLL is of the other architecture: always in its own
    vst_script_entry_own_process = 1u << 3,          // in its own, for either reason or because every plug-in is
    // Version 5: its own process was chosen for it after it crashed in the
    // player's, not by the user (with vst_script_entry_own_process_chosen).
    vst_script_entry_moved_after_crash = 1u << 4,
};

// One plug-in of the list, as the list file keeps it.
struct vst_script_entry {
    const char* product_name;
    const char* vendor_name;
    const char* channel_summary;  // inputs "/" outputs, for example "2/2"
    const char* module_path;      // as stored: absolute, or relative to the player's folder
    GUID identifier;              // for a checked plug-in, its uniqueID in all four 32-bit words
    std::uint32_t flags;          // vst_script_entry_* bits
};

// A DSP preset: owner and bytes, as the host stores it.
struct vst_script_preset {
    GUID owner;
    const std::uint8_t* data;
    std::uint32_t size;
};

// One parameter of a plug-in, its texts as the plug-in gives them (at most
// 63 bytes each).
struct vst_script_parameter {
    std::uint32_t index;  // from 0
    float value;          // 0 to 1
    const char* name;
    const char* display;  // the value as the plug-in shows it
    const char* label;    // its unit
};

// Receives a text. `length` counts bytes, without a terminator.
class vst_script_text {
public:
    virtual void VST_SCRIPTING_CALL set(const char* utf8, std::uint32_t length) noexcept = 0;

protected:
    ~vst_script_text() = default;
};

// Receives plug-ins of the list, in list order.
class vst_script_entry_sink {
public:
    // `position` counts from 0.
    virtual void VST_SCRIPTING_CALL on_entry(std::uint32_t position, const vst_script_entry& e) noexcept = 0;

protected:
    ~vst_script_entry_sink() = default;
};

// Receives what an operation on a preset found out, in this order: the
// plug-in once, then its parameters, then the new preset.
class vst_script_plugin_sink {
public:
    virtual void VST_SCRIPTING_CALL on_plugin(const char* product_name, std::uint32_t parameter_count) noexcept = 0;
    virtual void VST_SCRIPTING_CALL on_parameter(const vst_script_parameter& p) noexcept = 0;
    // The plug-in's state captured into a preset with a fresh instance key.
    virtual void VST_SCRIPTING_CALL on_preset(const vst_script_preset& preset) noexcept = 0;

protected:
    ~vst_script_plugin_sink() = default;
};

// What one plug-in instance is doing (version 2).
struct vst_script_activity {
    GUID identifier;                  // its uniqueID in all four words; zero while it is being loaded
    std::uint64_t non_finite_samples; // samples of its output that were no numbers and became silence
    std::uint32_t has_key;            // 1 when `key` is known
    std::uint32_t key;                // the instance key of its current preset
    std::uint32_t call_ms;            // how long `call` has been running
    const char* product_name;         // empty while it is being loaded
    const char* module_path;          // as configured
    const char* call;                 // the call into the plug-in that has not returned ("effOpen", ...), or empty
    // Version 4.
    std::uint64_t late_blocks;        // chunks that passed it by because it was late with a block (own process)
    // The delay it adds to its audio now, in frames: its reported
    // initial delay, 0 while it passes audio through.
    std::uint32_t delay_frames;
    // Version 5: times its process of its own stopped and was started again.
    std::uint32_t restarts;
};

// Receives the plug-in instances, in the order they were made.
class vst_script_activity_sink {
public:
    virtual void VST_SCRIPTING_CALL on_instance(const vst_script_activity& instance) noexcept = 0;

protected:
    ~vst_script_activity_sink() = default;
};

// How a plug-in runs on a stream of some layout with "Match plug-in
// channels to the stream" on (version 4).
struct vst_script_stream_fit {
    std::uint32_t inputs;     // each instance's ports then: taken from the stream's layout, or its own
    std::uint32_t outputs;
    std::uint32_t instances;  // 1, or one per channel (a mono plug-in)
    std::uint32_t flags;      // vst_script_fit_* bits
};

enum : std::uint32_t {
    vst_script_fit_keeps_layout = 1u << 0,  // the stream comes back with its own channels and layout
};

// Flags of add. A set bit this version does not know is refused as a bad
// argument, never ignored.
using vst_script_add_flags = std::uint32_t;
enum : std::uint32_t {
    // Version 3: the plug-in is checked in a process of its own and runs in
    // one from then on.
    vst_script_add_own_process = 1u << 0,
};

// Version 4: a folder scanned for plug-ins.
using vst_script_scan_flags = std::uint32_t;
enum : std::uint32_t {
    vst_script_scan_recursive = 1u << 0,  // its subfolders too
    vst_script_scan_add = 1u << 1,        // add the effects found that are not listed, as add does, while there is room
    vst_script_scan_rescan = 1u << 2,     // load every DLL, also those an earlier scan remembers unchanged
};

// What a file of a scanned folder is.
enum vst_script_scan_kind : std::uint32_t {
    vst_script_scan_effect = 1,          // a VST effect that loads here
    vst_script_scan_instrument = 2,      // a VST instrument
    vst_script_scan_not_plugin = 3,      // no VST effect: `detail` is the diagnosis
    vst_script_scan_crashed = 4,         // crashed while it was checked
    vst_script_scan_hung = 5,            // stopped answering while it was checked; its process was ended
    vst_script_scan_not_dll = 6,         // no Windows DLL
    vst_script_scan_listed = 16,         // an effect the list already holds
    vst_script_scan_duplicate = 17,      // the same plug-in as an earlier file (`first`)
    vst_script_scan_unreadable = 18,     // the file could not be read
    vst_script_scan_not_checked = 19,    // the scan was cancelled before it got there
};

// Flags of a scanned file.
enum : std::uint32_t {
    vst_script_scan_file_remembered = 1u << 0,  // taken from an earlier scan: unchanged since, not loaded
    vst_script_scan_file_added = 1u << 1,       // added to the list
    vst_script_scan_file_list_full = 1u << 2,   // an effect not added: the list had no room left
};

struct vst_script_scan_file {
    const char* path;        // full path
    const char* shown_path;  // from the scanned folder
    const char* detail;      // what it is, in words (empty for an effect)
    // Effects, listed ones and duplicates: the entry add would make (its
    // flags say where it would run); texts empty and identifier zero else.
    vst_script_entry plugin;
    std::uint32_t kind;      // vst_script_scan_kind
    std::uint32_t flags;     // vst_script_scan_file_* bits
    std::uint32_t machine;   // of its PE header (0x014C x86, 0x8664 x64), 0 without one
    std::uint32_t first;     // duplicates: the index of the first file of the same plug-in, else 0xFFFFFFFF
};

struct vst_script_scan_progress {
    std::uint32_t stage;       // 0 looking for DLLs, 1 checking them, 2 finished, 3 cancelled
    std::uint32_t found;       // DLLs found so far
    std::uint32_t done;        // of them, with a result
    std::uint32_t remembered;  // of those, taken from an earlier scan
    const char* loading;       // a file being checked now (as shown), or empty
};

// Receives a scan as it goes, then what it found.
class vst_script_scan_sink {
public:
    // Several times a second while the scan runs, and once at its end.
    // Answering nonzero cancels it: no further DLL is loaded, those being
    // checked finish (each within the load deadline).
    virtual std::uint32_t VST_SCRIPTING_CALL on_progress(const vst_script_scan_progress& p) noexcept = 0;
    // After the scan, every file in folder order; `index` from 0.
    virtual void VST_SCRIPTING_CALL on_file(std::uint32_t index, const vst_script_scan_file& f) noexcept = 0;
    // Then what the scan left out and why, a line each.
    virtual void VST_SCRIPTING_CALL on_note(const char* text) noexcept = 0;

protected:
    ~vst_script_scan_sink() = default;
};

class vst_scripting : public service_base {
public:
    using service_class = vst_scripting;
    static constexpr GUID class_guid = {0x264F5BB6, 0x711F, 0x4D51, {0xBF, 0xDE, 0x33, 0xC9, 0x49, 0x7D, 0xAF, 0x43}};

    // 3: k_vst_scripting_version of the component's build.
    virtual std::uint32_t VST_SCRIPTING_CALL version() noexcept = 0;

    // 4: the plug-in list file as it is now.
    virtual vst_script_status VST_SCRIPTING_CALL list(vst_script_entry_sink& entries,
                                                      vst_script_text& error) noexcept = 0;
    // 5: checks the DLL at `module_path` (UTF-8, stored as given) the way the
    // preferences page does, refuses a plug-in already listed and a list
    // that already offers every DSP slot, appends it and writes the list.
    // `added` receives the new entry.
    virtual vst_script_status VST_SCRIPTING_CALL add(const char* module_path, vst_script_add_flags flags,
                                                     vst_script_entry_sink& added,
                                                     vst_script_text& error) noexcept = 0;
    // 6: removes the entry at `position` if it still has `identifier`, and
    // writes the list. `removed` receives it.
    virtual vst_script_status VST_SCRIPTING_CALL remove(std::uint32_t position, const GUID& identifier,
                                                        vst_script_entry_sink& removed,
                                                        vst_script_text& error) noexcept = 0;
    // 7: replaces the list with the one an older release kept in the
    // registry; an empty or missing one is refused and the list kept.
    // `imported` receives the new entries, `replaced` the count before and
    // `source` where the list was read ("HKEY_CURRENT_USER\...").
    virtual vst_script_status VST_SCRIPTING_CALL import_legacy(vst_script_entry_sink& imported,
                                                               std::uint32_t& replaced, vst_script_text& source,
                                                               vst_script_text& error) noexcept = 0;

    // The operations on a preset acquire the plug-in of its owner (sharing
    // the instance a running chain holds for the same preset), report it to
    // `out`, and release it. `subject` names the preset in error texts (for
    // example "chain position 2"); null names it "the preset".

    // 8: every parameter.
    virtual vst_script_status VST_SCRIPTING_CALL get_parameters(const vst_script_preset& preset, const char* subject,
                                                                vst_script_plugin_sink& out,
                                                                vst_script_text& error) noexcept = 0;
    // 9: sets one parameter; `out` receives it as the plug-in now shows it,
    // then the new preset.
    virtual vst_script_status VST_SCRIPTING_CALL set_parameter(const vst_script_preset& preset, const char* subject,
                                                               std::uint32_t index, float value,
                                                               vst_script_plugin_sink& out,
                                                               vst_script_text& error) noexcept = 0;
    // 10: loads a program file (".fxp", path as the host's file system
    // takes it) into the plug-in; `out` receives the new preset.
    virtual vst_script_status VST_SCRIPTING_CALL load_program(const vst_script_preset& preset, const char* subject,
                                                              const char* path, vst_script_plugin_sink& out,
                                                              vst_script_text& error) noexcept = 0;

    // 11 (version 2): every plug-in instance, the call into it that has not
    // returned and how long that took so far. Any thread, also while another
    // thread is stuck inside a plug-in: for a watchdog.
    virtual vst_script_status VST_SCRIPTING_CALL activity(vst_script_activity_sink& out,
                                                          vst_script_text& error) noexcept = 0;

    // 12 (version 3): has the entry at `position`, if it still has
    // `identifier`, run in a process of its own (`own` 1) or in the player's
    // (0) from its next load. A DLL of the other architecture cannot be put
    // in the player's process. `changed` receives the entry as it is now.
    virtual vst_script_status VST_SCRIPTING_CALL set_own_process(std::uint32_t position, const GUID& identifier,
                                                                 std::uint32_t own, vst_script_entry_sink& changed,
                                                                 vst_script_text& error) noexcept = 0;

    // 13 (version 4): the audio is processed offline (1: a file, faster
    // than real time) or played (0, as the player does). Offline nothing is
    // late: the component waits for a plug-in in a process of its own up to
    // its hang limit, so a slow plug-in costs time, never sound.
    virtual vst_script_status VST_SCRIPTING_CALL set_offline(std::uint32_t offline, vst_script_text& error) noexcept = 0;

    // 14 (version 4): how the entry at `position`, if it still has
    // `identifier`, runs on a stream of `channels` channels in the layout
    // `mask` when "Match plug-in channels to the stream" is on, whatever
    // the setting is now: the plug-in is loaded where it runs, offered the
    // layout as before a chunk, and closed again. A plug-in that fails to
    // load is refused with its diagnosis.
    virtual vst_script_status VST_SCRIPTING_CALL stream_fit(std::uint32_t position, const GUID& identifier,
                                                            std::uint32_t channels, std::uint32_t mask,
                                                            vst_script_stream_fit& fit,
                                                            vst_script_text& error) noexcept = 0;

    // 15 (version 4): looks at every DLL in `folder` (UTF-8; with
    // vst_script_scan_recursive, in its subfolders too), each checked as add
    // checks a plug-in, in a process of its own, `jobs` at a time (0: as
    // many as the machine has processors, at least 2; at most 64). With
    // vst_script_scan_add, the effects found that are not listed are
    // appended in folder order while the list offers DSP slots, and the list
    // is written once. What it found out is remembered in the component's
    // configuration. A folder that cannot be scanned is an io error.
    virtual vst_script_status VST_SCRIPTING_CALL scan(const char* folder, vst_script_scan_flags flags,
                                                      std::uint32_t jobs, vst_script_scan_sink& out,
                                                      vst_script_text& error) noexcept = 0;
};

// The largest plug-in state (a chunk) the component takes or hands on
// anywhere: captured, applied, in a program file, to a plug-in in a
// process of its own. A caller that stores presets keeps room for a state
// of this size plus the preset's own few bytes.
inline constexpr std::uint32_t k_vst_script_max_chunk_bytes = 256u << 20;

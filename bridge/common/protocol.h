#pragma once
// The records that cross between the player's process and a plug-in's
// bridge process (orvane_bridge32.exe / orvane_bridge64.exe). The two sides
// may be of different architectures, so every field has a fixed width, no
// pointer crosses, and the layout is pinned below for both targets.
//
// One shared block per bridge process, made by the player before it starts
// the bridge. It holds a header (the handshake) and three lanes. A lane is
// one conversation between one thread of each side at a time: a message
// area and a turn counter. Whoever holds the turn writes the message and
// passes the turn on; calls nest (the plug-in calls the host while the host
// calls the plug-in, the host calls the plug-in again from that callback),
// so the turn simply alternates. The turn counter's parity says who holds
// it: even, the player; odd, the bridge.
//
//   control lane: every call of the player into the plug-in except audio;
//                 served by the bridge's window thread, which owns the
//                 plug-in's editor windows.
//   audio lane:   processReplacing and the audio set-up opcodes; served by
//                 the bridge's audio thread.
//   callback lane: host calls that a plug-in makes from a thread that is
//                 not serving a call of the player (its own threads, its
//                 window procedures); served by a thread of the player.
//
// Audio samples and chunks travel in mappings of their own, made on demand
// and handed over as handles (see `command`).
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace bridge {

constexpr std::uint32_t k_magic = 0x4F727642;  // "OrvB"
constexpr std::uint32_t k_protocol_version = 2;

// The largest text, name or rectangle that travels inside a message.
constexpr std::uint32_t k_payload_bytes = 64 * 1024;

enum lane_index : std::uint32_t { lane_control = 0, lane_audio = 1, lane_callback = 2, k_lane_count = 3 };

enum message_kind : std::uint32_t { kind_request = 1, kind_reply = 2 };

enum command : std::uint32_t {
    // Player to bridge.
    command_open_module = 1,   // payload: the DLL's path, UTF-16, NUL-terminated. Loads it and finds its entry.
    command_call_entry = 2,    // calls the entry function; the reply carries the record
    command_dispatch = 3,      // opcode, index, value, opt; the pointer as `pointer_kind` says
    command_process = 4,       // processReplacing over the audio mapping (audio_* fields)
    command_set_parameter = 5, // index, opt
    command_get_parameter = 6, // index; the reply's float_answer
    command_map_audio = 7,     // handle: a mapping already duplicated into the bridge; value: its size in bytes
    command_quit = 8,          // close the plug-in if the player has not (effClose), unload it and end the process
    // Bridge to player.
    command_host_call = 9,     // the plug-in's audioMasterCallback: opcode, index, value, opt, pointer as for dispatch
};

enum call_status : std::uint32_t {
    status_ok = 0,
    status_faulted = 1,        // the plug-in faulted inside the call; fault_code says how
    status_refused_loading = 2,
    status_no_entry = 3,
    status_not_ready = 4,      // a call before the plug-in was loaded, or after it faulted
    status_bad_request = 5,    // a message the bridge cannot read (a bug, never the plug-in)
};

// How a dispatcher or host call's pointer argument travels.
enum pointer_kind : std::uint32_t {
    pointer_none = 0,          // null, or a value the other side never reads
    pointer_text_in = 1,       // payload: NUL-terminated text handed to the callee
    pointer_text_out = 2,      // the callee writes a text; the reply's payload holds it up to its NUL
    pointer_rect_out = 3,      // effEditGetRect: the reply's payload holds one ERect when `answer_has_data`
    pointer_window = 4,        // effEditOpen: `handle` is the parent window
    pointer_chunk_out = 5,     // effGetChunk: the reply's `handle` is a mapping of `answer` bytes, in the bridge
    pointer_chunk_in = 6,      // effSetChunk: `handle` is a mapping of `value` bytes, duplicated into the bridge
    pointer_text_answer = 7,   // the answer is a pointer to a text: the reply's payload holds it (audioMasterGetDirectory)
    pointer_arrangements = 8,  // effSetSpeakerArrangement: the payload holds both records (arrangement_payload.h); `value` is unused
};

// The plug-in's record as it is after a call, for the player's stand-in
// record. Written by the bridge into every reply and every host call.
struct record_image {
    std::int32_t magic;
    std::int32_t num_programs;
    std::int32_t num_params;
    std::int32_t num_inputs;
    std::int32_t num_outputs;
    std::int32_t flags;
    std::int32_t initial_delay;
    std::int32_t real_qualities;
    std::int32_t off_qualities;
    float io_ratio;
    std::int32_t unique_id;
    std::int32_t version;
    std::uint32_t functions;  // which of the record's functions are set, `function_*` bits
};

constexpr std::uint32_t function_dispatcher = 1;
constexpr std::uint32_t function_process = 2;
constexpr std::uint32_t function_set_parameter = 4;
constexpr std::uint32_t function_get_parameter = 8;
constexpr std::uint32_t function_process_replacing = 16;
constexpr std::uint32_t function_process_double = 32;

// One message. The side holding the lane's turn writes all of it.
struct alignas(8) message {
    std::uint32_t kind;           // message_kind
    std::uint32_t command;        // command; a reply repeats its request's
    std::uint32_t sequence;       // the requester's number for the call; the reply repeats it
    std::uint32_t status;         // reply: call_status
    std::int32_t opcode;          // dispatch and host call
    std::int32_t index;
    std::int64_t value;           // a pointer-sized integer on either side
    std::int64_t answer;          // reply: the call's answer (a chunk's size for pointer_chunk_out)
    float opt;
    float float_answer;           // reply to command_get_parameter
    std::uint32_t fault_code;     // reply with status_faulted: the structured exception's code
    std::uint32_t pointer_kind;   // pointer_kind
    std::uint32_t handle;         // a window or mapping handle; 32 bits are significant on both targets
    std::uint32_t payload_size;   // bytes used in `payload`
    std::uint32_t answer_has_data;// reply: the pointer argument came back filled (a rectangle, a chunk)
    std::uint32_t has_record;     // host call: the plug-in passed a record (not null)
    std::uint32_t audio_inputs;   // command_process: input planes, then output planes, each
    std::uint32_t audio_outputs;  //   `audio_stride` floats apart from the start of the audio mapping
    std::uint32_t audio_stride;
    std::uint32_t audio_frames;
    record_image record;          // reply and host call: the plug-in's record
    std::uint32_t reserved;
    std::uint8_t payload[k_payload_bytes];
};

struct alignas(64) lane {
    std::atomic<std::uint32_t> turn;            // both sides: incremented when handing the message over
    std::atomic<std::uint32_t> player_asleep;   // player: 1 while it waits on its event for this lane
    std::atomic<std::uint32_t> bridge_asleep;   // bridge: 1 while it waits on its event for this lane
    std::uint32_t reserved;
    message msg;
};

enum bridge_state : std::uint32_t { state_starting = 0, state_ready = 1, state_refused = 2 };

// Where a fault that no call of the player's was waiting for happened: the
// bridge writes it into the header just before it ends, so that the player
// can say what ended the plug-in.
enum fault_place : std::uint32_t {
    place_none = 0,
    place_window_procedure = 1,  // a window procedure the window thread dispatched to outside any call
    place_window_timer = 2,      // likewise, for a timer message
    place_own_thread = 3,        // a thread of the plug-in's own
};

// The window message that tells the bridge's window thread a request is
// waiting on the control lane. Any message loop that runs on that thread
// (the plug-in's own file choosers and message boxes too) dispatches it.
constexpr std::uint32_t k_request_message = 0x8000 + 0x4F42;  // WM_APP + "OB"

struct alignas(64) block_header {
    std::uint32_t magic;                 // player, before the start: k_magic
    std::uint32_t version;               // player: k_protocol_version
    std::uint32_t header_bytes;          // player: sizeof(block_header), and so on: the layout it was built with
    std::uint32_t message_bytes;         // player
    std::uint32_t block_bytes;           // player
    std::uint32_t player_process;        // player: its process id, which the bridge watches
    std::uint32_t player_pointer_bits;   // player: 32 or 64
    std::uint32_t bridge_pointer_bits;   // bridge, at the handshake
    std::uint32_t bridge_process;        // bridge, at the handshake
    std::atomic<std::uint32_t> state;    // bridge: bridge_state, set once after it checked the fields above
    std::atomic<std::uint32_t> count_allocations;  // player: 1 asks the bridge to count its heap allocations
    std::atomic<std::uint32_t> audio_allocations;  // bridge: heap allocations made while serving the audio lane
    std::uint32_t control_window;        // bridge, at the handshake: the window that takes k_request_message (32 bits
                                         //   of a window handle are significant on both targets)
    std::atomic<std::uint32_t> window_heartbeat;   // bridge: the tick count when the window thread last dispatched
                                                   //   a message of its own timer (it is not stuck in one call)
    std::atomic<std::uint32_t> detached;           // player: 1 once it no longer answers host calls (it let go
                                                   //   of the plug-in without waiting for its process to end)
    std::atomic<std::uint32_t> fault_code;         // bridge: the code of a fault outside every call, just before it ends
    std::atomic<std::uint32_t> fault_place;        // bridge: where that fault was (fault_place)
    std::atomic<std::uint32_t> audio_busy_us;      // bridge, with count_allocations: microseconds (modulo 2^32) its
                                                   //   audio thread spent spinning or serving, at its last answer
    std::uint32_t reserved[10];
};

struct shared_block {
    block_header header;
    lane lanes[k_lane_count];
};

// The kernel objects of one block: the mapping is named `base`, and each
// lane has an auto-reset event per side, named `base` + "-<lane>p" (the
// player waits on it) and + "-<lane>b" (the bridge waits on it). The
// bridge's command line is its own path and `base`.
constexpr std::size_t k_name_chars = 96;

static_assert(std::atomic<std::uint32_t>::is_always_lock_free, "lane counters shared between processes");
static_assert(sizeof(std::atomic<std::uint32_t>) == 4, "atomic counters are plain 32-bit words");
static_assert(sizeof(record_image) == 52, "record_image size");
static_assert(offsetof(message, value) == 24 && offsetof(message, answer) == 32 && offsetof(message, opt) == 40,
              "message scalars");
static_assert(offsetof(message, fault_code) == 48 && offsetof(message, handle) == 56 &&
                  offsetof(message, audio_inputs) == 72 && offsetof(message, audio_frames) == 84,
              "message fields");
static_assert(offsetof(message, record) == 88 && offsetof(message, payload) == 144, "message record and payload");
static_assert(sizeof(message) == 144 + k_payload_bytes, "message size");
static_assert(offsetof(lane, msg) == 16 && sizeof(lane) == 65728, "lane layout");
static_assert(offsetof(block_header, state) == 36 && offsetof(block_header, audio_allocations) == 44 &&
                  offsetof(block_header, control_window) == 48 && offsetof(block_header, fault_place) == 64 &&
                  offsetof(block_header, audio_busy_us) == 68 &&
                  sizeof(block_header) == 128,
              "header layout");
static_assert(offsetof(shared_block, lanes) == 128 && sizeof(shared_block) == 128 + 3 * sizeof(lane),
              "block layout");

// The name of the event that wakes `waiter` ('p' the player, 'b' the
// bridge) on `lane` of the instance whose objects are named from `base`:
// both sides make it from the same parts.
inline std::wstring lane_event_name(const std::wstring& base, std::uint32_t lane, wchar_t waiter) {
    return base + L"-" + std::to_wstring(lane) + waiter;
}

}  // namespace bridge

#include "bridge_link.h"

#include <algorithm>

#include "../../Helpers/alloc_count.h"
#include "../common/lane_frame.h"
#include "../../vst/guard/plugin_guard.h"

namespace bridge {

namespace {

const wchar_t k_control_window_class[] = L"OrvaneBridgeControl";
constexpr UINT_PTR k_heartbeat_timer = 1;
// Often enough to tell a thread that dispatches messages from one stuck in
// a call well within any hang limit; rarely enough to cost nothing.
constexpr UINT k_heartbeat_period_ms = 200;
// How often a thread waiting for the player's answer to a host call looks
// whether the player has let go meanwhile.
constexpr DWORD k_detach_poll_ms = 100;

// The one link of this process, for the sent-message server below.
bridge_link* g_link = nullptr;

// Serves what other threads sent to this thread's windows (the player's
// editor window talks to the plug-in's). The plug-in's window procedures
// run there: a fault ends the process, saying so.
void serve_sent_guarded() {
    plugin_fault fault;
    if (call_guarded(fault, [] {
            MSG m;
            PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }))
        return;
    if (g_link) g_link->end_for_fault(fault.code, place_window_procedure);
    bridge_link::end_now(fault.code);
}

}  // namespace

bool bridge_link::open(const std::wstring& base) {
    mapping_.reset(OpenFileMappingW(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, base.c_str()));
    if (!mapping_) return false;
    block_view_ = map_view(mapping_.get(), FILE_MAP_READ | FILE_MAP_WRITE, 0);
    block_ = static_cast<shared_block*>(block_view_.get());
    if (!block_) return false;
    block_header& h = block_->header;
    h.bridge_process = GetCurrentProcessId();
    h.bridge_pointer_bits = sizeof(void*) * 8;
    if (h.magic != k_magic || h.version != k_protocol_version || h.header_bytes != sizeof(block_header) ||
        h.message_bytes != sizeof(message) || h.block_bytes != sizeof(shared_block)) {
        h.state.store(state_refused);
        return false;
    }
    for (std::uint32_t l = 0; l < k_lane_count; ++l) {
        to_player_[l].reset(OpenEventW(EVENT_MODIFY_STATE, FALSE, lane_event_name(base, l, L'p').c_str()));
        to_bridge_[l].reset(OpenEventW(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, lane_event_name(base, l, L'b').c_str()));
        if (!to_player_[l] || !to_bridge_[l]) return false;
    }
    parent_.reset(OpenProcess(SYNCHRONIZE, FALSE, h.player_process));
    if (!parent_ || !make_control_window()) return false;
    g_link = this;
    h.state.store(state_ready);
    SetEvent(to_player_[lane_control].get());  // the player waits for the handshake there
    return true;
}

// The window thread's own window: requests posted to it are served from
// whatever message loop runs, and its timer beats while any loop runs.
bool bridge_link::make_control_window() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = control_window_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = k_control_window_class;
    RegisterClassW(&wc);
    control_window_.reset(CreateWindowExW(0, k_control_window_class, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                          wc.hInstance, nullptr));
    if (!control_window_) return false;
    SetWindowLongPtrW(control_window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetTimer(control_window_.get(), k_heartbeat_timer, k_heartbeat_period_ms, nullptr);
    block_->header.window_heartbeat.store(GetTickCount());
    block_->header.control_window =
        static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(control_window_.get()));
    return true;
}

LRESULT CALLBACK bridge_link::control_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* link = reinterpret_cast<bridge_link*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (link && message == WM_TIMER && wparam == k_heartbeat_timer) {
        link->block_->header.window_heartbeat.store(GetTickCount());
        return 0;
    }
    if (link && message == k_request_message) {
        link->serve_waiting_control_request();
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

void bridge_link::serve_waiting_control_request() {
    if (control_serving_ || !holds_turn(get(lane_control), side_bridge) || get(lane_control).msg.kind != kind_request)
        return;
    serve(lane_control);
}

namespace {

std::int64_t now_microseconds() {
    static const std::int64_t per_second = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart > 0 ? f.QuadPart : 1;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart / per_second * 1000000 + t.QuadPart % per_second * 1000000 / per_second;
}

}  // namespace

void bridge_link::end_for_fault(std::uint32_t code, fault_place place) {
    if (block_) {
        block_->header.fault_place.store(place);
        block_->header.fault_code.store(code);
    }
    end_now(code);
}

void bridge_link::end_now(UINT code) { TerminateProcess(GetCurrentProcess(), code); for (;;) Sleep(INFINITE); }

bool bridge_link::wait_turn(lane_index l, message_policy messages, bool unless_detached) {
    HANDLE parent = parent_.get();
    wait_options options;
    options.messages = messages;
    options.serve_sent = serve_sent_guarded;
    if (l == lane_audio) options.spin_microseconds = audio_spin_.next();
    if (unless_detached) options.timeout_ms = k_detach_poll_ms;
    for (;;) {
        const wait_result r = wait_for_turn(get(l), side_bridge, to_bridge_[l].get(), &parent, 1, options);
        if (r.outcome == wait_outcome::turn) return true;
        if (r.outcome == wait_outcome::handle) end_now(0);  // the player ended: nothing to serve any more
        if (unless_detached && detached()) return false;
    }
}

void bridge_link::serve(lane_index l) {
    message& m = get(l).msg;
    const std::uint32_t sequence = m.sequence;
    {
        lane_frame_scope serving(this, l, true);
        struct count_scope {
            int& depth;
            bool counts;
            ~count_scope() { depth -= counts ? 1 : 0; }
        } serving_control{control_serving_, l == lane_control};
        control_serving_ += l == lane_control ? 1 : 0;
        if (m.kind == kind_request && handler_) {
            handler_->serve(l, m);
        } else {
            m.status = status_bad_request;
        }
    }
    m.kind = kind_reply;
    m.sequence = sequence;
    if (count_allocations_ && l == lane_audio) {
        block_->header.audio_allocations.store(static_cast<std::uint32_t>(allocation_count()));
        audio_busy_us_ += now_microseconds() - audio_served_from_;
        block_->header.audio_busy_us.store(static_cast<std::uint32_t>(audio_busy_us_));
    }
    hand_over(get(l), side_bridge, to_player_[l].get());
}

void bridge_link::run_audio_lane() {
    for (;;) {
        const std::uint32_t spin = audio_spin_.next();
        const std::int64_t waiting_from = now_microseconds();
        wait_turn(lane_audio, message_policy::none);
        audio_served_from_ = now_microseconds();
        audio_spin_.waited(audio_served_from_ - waiting_from);
        // For the benchmark: a wait within the spin was spent spinning, a
        // longer one spun that long and slept the rest.
        if (count_allocations_) audio_busy_us_ += std::min<std::int64_t>(audio_served_from_ - waiting_from, spin);
        serve(lane_audio);
    }
}

void bridge_link::run_control_lane(const bool& quit) {
    HANDLE parent = parent_.get();
    wait_options options;
    options.messages = message_policy::all;
    while (!quit) {
        const wait_result r =
            wait_for_turn(get(lane_control), side_bridge, to_bridge_[lane_control].get(), &parent, 1, options);
        if (r.outcome == wait_outcome::turn) {
            serve_waiting_control_request();
        } else if (r.outcome == wait_outcome::handle) {
            end_now(0);
        } else {
            pump_messages();
        }
    }
}

void bridge_link::pump_messages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        // The plug-in's windows run its code here, outside every request of
        // the player's: a fault there ends the process, and the player is
        // told where it was.
        plugin_fault fault;
        if (!call_guarded(fault, [&] { DispatchMessageW(&msg); }))
            end_for_fault(fault.code, msg.message == WM_TIMER ? place_window_timer : place_window_procedure);
    }
}

bridge_link::host_call::host_call(bridge_link& link) : link_(link) {
    if (const lane_frame* serving = serving_frame(&link)) {
        // Nested in the request this thread serves: it holds that lane's turn.
        index_ = serving->lane;
        lane_ = &link.get(index_);
        return;
    }
    // A call from a thread of the plug-in's own, or from one that waits for
    // a reply already: the callback lane, one call at a time.
    if (link.callback_lane_owner_ == GetCurrentThreadId()) return;
    link.callback_lane_lock_.enter();
    link.callback_lane_owner_ = GetCurrentThreadId();
    holds_callback_lane_ = true;
    index_ = lane_callback;
    lane_ = &link.get(lane_callback);
}

bridge_link::host_call::~host_call() {
    if (!holds_callback_lane_) return;
    link_.callback_lane_owner_ = 0;
    link_.callback_lane_lock_.leave();
}

void bridge_link::host_call::exchange() {
    message& m = lane_->msg;
    const std::uint32_t sequence = ++link_.callback_sequence_;
    m.kind = kind_request;
    m.command = command_host_call;
    m.sequence = sequence;
    hand_over(*lane_, side_bridge, link_.to_player_[index_].get());
    lane_frame_scope waiting(&link_, index_, false);
    for (;;) {
        // A player that let go answers nothing more: the call answers 0.
        if (!link_.wait_turn(index_, message_policy::sent, true)) {
            m.answer = 0;
            m.payload_size = 0;
            m.answer_has_data = 0;
            return;
        }
        if (m.kind == kind_reply) {
            // A reply to another call than ours: the two sides disagree about
            // the conversation, and nothing sent on it can be trusted.
            if (m.sequence != sequence) end_now(3);
            return;
        }
        link_.serve(index_);  // the player calls the plug-in from inside this host call
    }
}

}  // namespace bridge

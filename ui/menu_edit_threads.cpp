#include "menu_edit_threads.h"

#include <vector>

#include "../Helpers/critical_section.h"
#include "../Helpers/win32_handles.h"
#include "../host/initquit.h"
#include "../shell/component.h"
#include "../shell/factory_list.h"

namespace {

constexpr DWORD k_close_timeout_ms = 3000;
constexpr DWORD k_close_poll_ms = 50;

struct running_edit {
    std::uint64_t id;
    unique_handle thread;  // null until adopted
};

struct registry {
    critical_section lock;  // the list; nothing is called out to under it
    std::vector<running_edit> edits;
    std::uint64_t next_id = 1;
    // Held while a chain edit is handed to the player, whose queue takes it
    // from any thread without waiting for the main thread.
    critical_section queue_lock;
    bool stopped = false;  // no more chain edits are queued
    unique_handle stopping{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

registry& the_registry() {
    static registry r;
    return r;
}
registry& g_registry_at_load = the_registry();

BOOL CALLBACK close_window(HWND window, LPARAM) {
    // The editor, a file dialog or a message box over it; a thread's
    // hidden windows are not the user's.
    if (IsWindowVisible(window)) PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

// Handles of their own to the threads still running, with their ids.
std::vector<std::pair<unique_handle, DWORD>> running_threads() {
    std::vector<std::pair<unique_handle, DWORD>> out;
    registry& r = the_registry();
    critical_section_scope guard(r.lock);
    for (const running_edit& e : r.edits) {
        HANDLE copy = nullptr;
        if (e.thread && DuplicateHandle(GetCurrentProcess(), e.thread.get(), GetCurrentProcess(), &copy,
                                        SYNCHRONIZE | THREAD_QUERY_LIMITED_INFORMATION, FALSE, 0))
            out.emplace_back(unique_handle(copy), GetThreadId(copy));
    }
    return out;
}

// Stops the menu edits with the component, and lets them run again when
// the component starts anew in the same process.
class menu_edit_stopper : public initquit {
public:
    bool query(service_base*& out, const GUID& guid) override {
        return answer_query<menu_edit_stopper, initquit>(this, out, guid);
    }
    void on_init() override { menu_edit_threads::reopen(); }
    void on_quit() override { menu_edit_threads::close_all(k_close_timeout_ms); }
};

registered_service<menu_edit_stopper> g_stopper;

}  // namespace

namespace menu_edit_threads {

std::uint64_t enlist() {
    registry& r = the_registry();
    critical_section_scope guard(r.lock);
    r.edits.push_back({r.next_id, nullptr});
    return r.next_id++;
}

void adopt(std::uint64_t id, HANDLE thread) {
    unique_handle owned(thread);
    registry& r = the_registry();
    critical_section_scope guard(r.lock);
    for (running_edit& e : r.edits)
        if (e.id == id) {
            e.thread = std::move(owned);
            return;
        }
    // The thread ended before its handle got here: `owned` closes it.
}

void leave(std::uint64_t id) {
    unique_handle gone;  // closed outside the lock
    registry& r = the_registry();
    critical_section_scope guard(r.lock);
    for (auto it = r.edits.begin(); it != r.edits.end(); ++it)
        if (it->id == id) {
            gone = std::move(it->thread);
            r.edits.erase(it);
            return;
        }
}

HANDLE stopping_event() { return the_registry().stopping.get(); }

bool queue_chain_edit(main_thread_callback& job) {
    registry& r = the_registry();
    // The stop cannot come between the test and the hand-over.
    critical_section_scope guard(r.queue_lock);
    if (r.stopped || !services_available()) return false;
    host_service<main_thread_callback_manager>()->add_callback(&job);
    return true;
}

bool close_all(DWORD timeout_ms) {
    registry& r = the_registry();
    if (r.stopping) SetEvent(r.stopping.get());
    const DWORD start = GetTickCount();
    bool all_ended = false;
    for (;;) {
        // Every edit was adopted on this thread before it got here.
        auto threads = running_threads();
        if (threads.empty()) {
            all_ended = true;
            break;
        }
        // A window that opens later (a plug-in still loading) is found in
        // a later round.
        for (const auto& t : threads) EnumThreadWindows(t.second, close_window, 0);
        const DWORD spent = GetTickCount() - start;
        if (spent >= timeout_ms) break;
        const DWORD left = timeout_ms - spent;
        WaitForSingleObject(threads.front().first.get(), left < k_close_poll_ms ? left : k_close_poll_ms);
    }
    critical_section_scope guard(r.queue_lock);
    r.stopped = true;
    return all_ended;
}

void reopen() {
    registry& r = the_registry();
    critical_section_scope guard(r.queue_lock);
    r.stopped = false;
    if (r.stopping) ResetEvent(r.stopping.get());
}

}  // namespace menu_edit_threads

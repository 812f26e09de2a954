#pragma once
// A bridge process of our own: its executable beside the component, the
// shared block and events it talks through, and the job that ends it with
// the player.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "../../Helpers/win32_handles.h"
#include "../common/protocol.h"

class bridge_process {
public:
    // Starts the bridge of `machine`'s architecture and waits, up to
    // `deadline_ms`, until it has checked the block. Null when it cannot be
    // started (no executable, no architecture the system runs), refuses the
    // block, or does not answer in time; nothing is left running then, and
    // `why` says which of these it was, in words for the user.
    static std::unique_ptr<bridge_process> start(std::uint16_t machine, std::uint32_t deadline_ms, std::string& why);
    // Ends the process if it still runs, unless let_run() was called.
    ~bridge_process();
    bridge_process(const bridge_process&) = delete;
    bridge_process& operator=(const bridge_process&) = delete;

    bridge::shared_block& block() { return *block_; }
    bridge::lane& lane(bridge::lane_index l) { return block_->lanes[l]; }
    HANDLE to_player(bridge::lane_index l) const { return to_player_[l].get(); }
    HANDLE to_bridge(bridge::lane_index l) const { return to_bridge_[l].get(); }
    HANDLE process() const { return process_.get(); }
    DWORD id() const { return id_; }
    bool running() const { return WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

    // Ends it now. Does not wait: a process the system was told to end
    // holds nothing of ours that we need back.
    void end();
    // Gives it up to `ms` to end by itself (after command_quit), then ends it.
    void finish(std::uint32_t ms);
    // It ends by itself: destroying this object closes the handles only.
    void let_run() { let_run_ = true; }

    // A handle of ours duplicated into the bridge: its value there, 0 when it
    // could not be handed over.
    std::uint32_t give(HANDLE ours) const;
    // A handle the bridge handed us, taken over (the bridge's is closed).
    unique_handle take(std::uint32_t theirs) const;

    // The executable for `machine` beside the component's module.
    static std::wstring executable_for(std::uint16_t machine);
    // Its file name alone, for messages.
    static std::string executable_name(std::uint16_t machine);

private:
    bridge_process() = default;

    unique_handle mapping_;
    unique_view block_view_;
    bridge::shared_block* block_ = nullptr;  // in block_view_
    unique_handle to_player_[bridge::k_lane_count];
    unique_handle to_bridge_[bridge::k_lane_count];
    unique_handle process_;
    DWORD id_ = 0;
    bool let_run_ = false;
};

#pragma once
// The player's playback thread: it builds DSP instances from the playback
// chain, runs chunk lists through them and destroys them again, all on a
// thread of its own, while the calling (main) thread pumps the main-thread
// queue, as the player does.
#include <functional>
#include <stdexcept>
#include <vector>

#include "../host/dsp.h"
#include "component_host.h"

class playback_chain {
public:
    // Instantiates the DSP of every chain position, in order; a position
    // whose DSP is not registered, or refuses the preset, is left out.
    playback_chain(component_host& host, const dsp_chain_config& chain);
    void run(dsp_chunk_list& list, int flags = 0);
    std::size_t size() const { return dsps_.size(); }
    const std::vector<service_ptr_t<dsp>>& dsps() const { return dsps_; }

private:
    std::vector<service_ptr_t<dsp>> dsps_;
};

struct playback_callbacks {
    // Fills the next chunk list; answers false at the end of the input.
    std::function<bool(dsp_chunk_list&)> produce;
    // Takes the processed list.
    std::function<void(dsp_chunk_list&)> consume;
};

// The playback thread ended in the middle of the playback, without
// finishing or failing: something it called (a plug-in) ended it. What
// that thread held (the locks of the call it was in) stays held.
class playback_thread_ended : public std::runtime_error {
public:
    playback_thread_ended() : std::runtime_error("the playback thread ended in the middle of the playback") {}
};

// Plays until `produce` answers false. A chain write during playback makes
// the playback thread rebuild its DSPs before the next list. An exception
// on the playback thread is raised again here; a thread that ended without
// either raises playback_thread_ended.
void play(component_host& host, const playback_callbacks& callbacks);

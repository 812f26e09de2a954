#include "plugin_restart.h"

#include <algorithm>
#include <string>
#include <utility>

#include "isolated_plugin.h"
#include "opcode_names.h"
#include "plugin_fault_report.h"
#include "preset_state.h"
#include "vst.h"

plugin_restart::plugin_restart() = default;

void plugin_restart::prepare() {
    if (!done_) done_.reset(CreateEventW(nullptr, TRUE, TRUE, nullptr));
}

plugin_restart::~plugin_restart() = default;

plugin_restart::outcome plugin_restart::start(vst& plugin, const char* call, const plugin_fault& fault) {
    if (closing() || !done_) return outcome::not_started;
    const ULONGLONG now = GetTickCount64();
    std::uint32_t recent = 0;
    std::size_t oldest = 0;
    for (std::size_t i = 0; i < k_max_restarts; ++i) {
        if (started_[i] && now - started_[i] < k_restart_window_ms) ++recent;
        if (started_[i] < started_[oldest]) oldest = i;
    }
    if (recent >= k_max_restarts) return outcome::kept_failing;
    // The thread of the restart before has set everything it does; only its
    // return is left.
    if (thread_) WaitForSingleObject(thread_.get(), INFINITE);
    started_[oldest] = now;
    count_ = recent + 1;
    plugin_ = &plugin;
    call_ = call;
    fault_ = fault;
    generation_.fetch_add(1, std::memory_order_acq_rel);
    ResetEvent(done_.get());
    thread_.reset(CreateThread(nullptr, 0, thread_main, this, 0, nullptr));
    if (thread_) return outcome::started;
    SetEvent(done_.get());
    return outcome::not_started;
}

void plugin_restart::stop(isolated_plugin* bridge) {
    closing_.store(true, std::memory_order_release);
    if (!thread_) return;
    if (WaitForSingleObject(thread_.get(), 0) == WAIT_TIMEOUT && bridge) bridge->abandon_restart();
    // Bounded: once its process is ended, each of its calls comes back, and
    // every wait of its own looks at closing().
    WaitForSingleObject(thread_.get(), INFINITE);
    thread_.reset();
}

void plugin_restart::await(std::uint32_t ms) const {
    if (done_) WaitForSingleObject(done_.get(), ms);
}

void plugin_restart::note_state(const dsp_preset& state) {
    critical_section_scope guard(state_lock_);
    state_.assign(state);
    has_state_ = true;
    std::fill(parameter_set_.begin(), parameter_set_.end(), std::uint8_t{0});
}

void plugin_restart::note_parameter(std::int32_t index, float value) {
    if (on_restart_thread()) return;
    critical_section_scope guard(state_lock_);
    if (index < 0 || static_cast<std::size_t>(index) >= parameters_.size()) return;
    parameters_[static_cast<std::size_t>(index)] = value;
    parameter_set_[static_cast<std::size_t>(index)] = 1;
}

void plugin_restart::size_parameters(std::int32_t count) {
    critical_section_scope guard(state_lock_);
    const std::size_t n = count > 0 ? static_cast<std::size_t>(count) : 0;
    parameters_.assign(n, 0.0f);
    parameter_set_.assign(n, 0);
}

DWORD WINAPI plugin_restart::thread_main(void* self) {
    static_cast<plugin_restart*>(self)->run();
    return 0;
}

void plugin_restart::run() {
    restart_thread_.store(GetCurrentThreadId(), std::memory_order_relaxed);
    isolated_plugin* bridge = plugin_->bridge();
    std::string why;
    bool restarted = bridge && bridge->begin_restart(why);
    if (restarted) restarted = replay(why);
    if (bridge) bridge->end_restart();
    finish(restarted, why);
}

// The audio lock, without waiting on a thread that never lets it go: the
// playback thread holds it only to pass a chunk through meanwhile.
bool plugin_restart::lock_audio() {
    while (!plugin_->audio_lock.try_enter()) {
        if (closing()) return false;
        Sleep(1);
    }
    return true;
}

bool plugin_restart::replay(std::string& why) {
    vst& p = *plugin_;
    const auto failed = [&p, &why](const char* reason) {
        why = reason ? std::string(reason)
                     : "it " + plugin_fault_summary(p.fault_call(), p.fault()) + " while it was given its settings";
        return false;
    };
    p.dispatch(effOpen);
    if (p.faulted) return failed(nullptr);

    if (!lock_audio()) return failed("it was closed meanwhile");
    std::uint32_t rate = p.sample_rate, block = p.block_size;
    p.audio_lock.leave();
    if (rate) p.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
    if (block) p.dispatch(effSetBlockSize, 0, block);

    dsp_preset_impl state;
    std::vector<std::pair<std::int32_t, float>> since;
    bool has_state = false;
    {
        critical_section_scope guard(state_lock_);
        has_state = has_state_;
        if (has_state) state = state_;
        for (std::size_t i = 0; i < parameters_.size(); ++i)
            if (parameter_set_[i]) since.emplace_back(static_cast<std::int32_t>(i), parameters_[i]);
    }
    if (has_state) give_preset_state(p, state);
    for (const auto& [index, value] : since) {
        if (p.faulted) break;
        p.set_parameter(index, value);
    }
    if (rate && !p.faulted) p.dispatch(effMainsChanged, 0, 1);
    if (p.faulted) return failed(nullptr);

    if (!lock_audio()) return failed("it was closed meanwhile");
    // The stream changed while the plug-in was away: it hears of it as it
    // would have.
    if (p.sample_rate != rate || p.block_size != block) {
        p.dispatch(effMainsChanged, 0, 0);
        if (p.sample_rate != rate) p.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(p.sample_rate));
        if (p.block_size != block) p.dispatch(effSetBlockSize, 0, p.block_size);
        p.dispatch(effMainsChanged, 0, 1);
    }
    p.matching.forget_fit();
    const bool ok = !p.faulted;
    if (ok) {
        // The stand-in lets every thread in before they are let past the
        // vst's own check.
        p.bridge()->end_restart();
        p.restarts.fetch_add(1, std::memory_order_relaxed);
        p.restarting.store(false, std::memory_order_release);
    }
    p.audio_lock.leave();
    return ok || failed(nullptr);
}

void plugin_restart::finish(bool restarted, const std::string& why) {
    vst& p = *plugin_;
    if (restarted) {
        report_plugin_restarted(p, call_, fault_, count_, k_max_restarts);
    } else {
        p.switch_off_after_restart(call_, fault_);
        if (!closing()) report_restart_failed(p, call_, fault_, why);
    }
    restart_thread_.store(0, std::memory_order_relaxed);
    SetEvent(done_.get());
}

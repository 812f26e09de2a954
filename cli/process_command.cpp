// Runs a WAV file through the playback chain on the player's playback
// thread, in chunks the size the player uses, and writes the result.
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "../Helpers/utf.h"
#include "../host_standin/playback.h"
#include "audio_stats.h"
#include "cli_error.h"
#include "commands.h"
#include "delay_compensation.h"
#include "exit_cleanup.h"
#include "part_file.h"
#include "process_job.h"
#include "shown_path.h"
#include "stuck_report.h"
#include "wav_file.h"
#include "watchdog.h"

namespace {

sample_format output_format(const std::wstring& name) {
    if (name == L"float") return sample_format::float32;
    if (name == L"16") return sample_format::pcm16;
    if (name == L"24") return sample_format::pcm24;
    if (name == L"32") return sample_format::pcm32;
    throw cli_error("unknown output format \"" + wide_to_utf8(name) + "\" (float, 16, 24 or 32)", 2);
}

class progress_bar {
public:
    // Only on a console: the NUL device also counts as a terminal to the C
    // runtime, and drawing into it costs as much as drawing on screen.
    progress_bar(std::uint64_t total, bool enabled) : total_(total), enabled_(enabled && is_console(stderr)) {}
    ~progress_bar() { finish(); }
    void update(std::uint64_t done) {
        if (!enabled_ || total_ == 0) return;
        int percent = static_cast<int>(done * 100 / total_);
        // Drawing is slow next to the audio work: at most ten times a second.
        auto now = std::chrono::steady_clock::now();
        if (percent == last_ || (last_ >= 0 && percent < 100 && now - drawn_ < std::chrono::milliseconds(100))) return;
        last_ = percent;
        drawn_ = now;
        char bar[41];
        for (int i = 0; i < 40; ++i) bar[i] = i < percent * 40 / 100 ? '#' : '.';
        bar[40] = '\0';
        std::fprintf(stderr, "\r[%s] %3d%%", bar, percent);
        std::fflush(stderr);
    }
    void finish() {
        if (enabled_ && last_ >= 0) std::fprintf(stderr, "\r%60s\r", "");
        last_ = -1;
    }

private:
    static bool is_console(std::FILE* f) {
        DWORD mode = 0;
        return GetConsoleMode(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f))), &mode) != 0;
    }

    std::uint64_t total_;
    bool enabled_;
    int last_ = -1;
    std::chrono::steady_clock::time_point drawn_;
};

// The player leaves out a chain position whose DSP it does not have, and
// the audio would pass that position untouched: refuse rather than write
// output that silently lacks an effect.
void check_chain_effects(component_host& host, const dsp_chain_config& chain) {
    std::vector<GUID> offered;
    for (auto& e : host.services<dsp_entry>()) offered.push_back(e->get_guid());
    std::string missing;
    std::size_t count = 0;
    for (std::size_t i = 0; i < chain.get_count(); ++i) {
        const GUID owner = chain.get_item(i).get_owner();
        bool found = false;
        for (const GUID& g : offered) found = found || g == owner;
        if (found) continue;
        missing += (missing.empty() ? "" : ", ") + std::to_string(i + 1);
        ++count;
    }
    if (count == 0) return;
    const std::string positions = std::string(count == 1 ? "chain position " : "chain positions ") + missing;
    throw cli_error(positions + (count == 1 ? " uses an effect" : " use effects") +
                    " whose plug-in is not in the plug-in list (or not among its first 20); nothing was written. "
                    "Take " + (count == 1 ? "it" : "them") + " out with: orvane chain remove POS");
}

// Where playback is stuck, or where its thread ended: the chain position
// whose plug-in call has not returned for the longest.
std::string stuck_in(session& s, component_scripting& script) {
    const std::vector<instance_activity> instances = script.activity();
    const instance_activity* stuck = longest_call(instances);
    if (!stuck) return "no plug-in call was running";
    return instance_name(s.prof().state.chain, *stuck) + " has not returned from " + stuck->call;
}

// Samples that were no numbers, once per file: those the component
// replaced, named by the first chain position that put them out, or else
// those the input brought, which reach the output file.
std::string non_finite_warning(session& s, component_scripting& script, const audio_stats& written,
                               sample_format format) {
    const dsp_chain_config& chain = s.prof().state.chain;
    const std::vector<instance_activity> instances = script.activity();
    const instance_activity* first = nullptr;
    std::size_t first_position = 0;
    for (const instance_activity& a : instances) {
        if (a.non_finite_samples == 0) continue;
        const std::size_t position = chain_position(chain, a);
        if (position && (!first || position < first_position)) {
            first = &a;
            first_position = position;
        }
    }
    if (first)
        return instance_name(chain, *first) + " put out " + std::to_string(first->non_finite_samples) +
               " samples that were no finite numbers (NaN or infinity); the component replaced them with silence";
    std::size_t from_input = 0;
    for (std::size_t c = 0; c < written.channels(); ++c) from_input += written.non_finite(c);
    if (from_input == 0) return "";
    return "the input holds " + std::to_string(from_input) +
           " samples that are no finite numbers (NaN or infinity); they were written " +
           (format == sample_format::float32 ? "as they are" : "as silence (NaN) or full scale (infinity)");
}

// The chain positions whose plug-in, in a process of its own, was late
// with blocks while the chain played: those chunks passed it by.
std::vector<std::string> late_positions(session& s, component_scripting& script) {
    std::vector<std::string> out;
    for (const instance_activity& a : script.activity())
        if (a.late_blocks)
            out.push_back(instance_name(s.prof().state.chain, a) + " was late with " + std::to_string(a.late_blocks) +
                          (a.late_blocks == 1 ? " block; that chunk" : " blocks; those chunks") +
                          " passed it by unchanged");
    return out;
}

// The chain positions whose plug-in's process of its own stopped and was
// started again while the chain played.
std::vector<std::string> restarted_positions(session& s, component_scripting& script) {
    std::vector<std::string> out;
    for (const instance_activity& a : script.activity())
        if (a.restarts)
            out.push_back(instance_name(s.prof().state.chain, a) + " stopped in its own process and was restarted " +
                          (a.restarts == 1 ? std::string("once") : std::to_string(a.restarts) + " times"));
    return out;
}

// Where each listed plug-in runs from its next load, and why.
struct process_choice_of {
    GUID identifier;
    bool chosen;
    bool moved_after_crash;
    bool operator==(const process_choice_of& o) const {
        return identifier == o.identifier && chosen == o.chosen && moved_after_crash == o.moved_after_crash;
    }
};

std::vector<process_choice_of> process_choices(component_scripting& script) {
    std::vector<process_choice_of> out;
    for (const listed_plugin& e : script.list())
        out.push_back({e.identifier, e.own_process_chosen, e.moved_after_crash});
    return out;
}

}  // namespace

process_result run_process_job(session& s, const std::wstring& input, const std::wstring& output) {
    wav_reader reader(input);
    const sample_format format = output_format(s.options().format);
    wchar_t in_full[MAX_PATH] = {}, out_full[MAX_PATH] = {};
    GetFullPathNameW(input.c_str(), MAX_PATH, in_full, nullptr);
    GetFullPathNameW(output.c_str(), MAX_PATH, out_full, nullptr);
    if (lstrcmpiW(in_full, out_full) == 0) throw cli_error("the output file must not be the input file");

    // A plug-in that never returns holds the job for good, while the chain
    // is set up (its plug-ins load and take their state) as much as while
    // it plays: the run says which and stops, leaving nothing behind.
    std::unique_ptr<watchdog> stalls;
    std::atomic<bool> playing{false};
    // A plug-in that crashes in the player's process during the job may be
    // moved into its own (vst/crash_move.h): the profile keeps that, so that
    // the next job runs it there.
    std::vector<process_choice_of> choices_before;
    const auto keep_moves = [&](component_scripting& script) {
        if (process_choices(script) != choices_before) s.keep_configuration();
    };
    const auto arm = [&](component_scripting& script) {
        choices_before = process_choices(script);
        // A file is processed faster than real time: nothing is late, a slow
        // plug-in in a process of its own is waited for.
        script.set_offline(!s.options().as_played);
        stalls = std::make_unique<watchdog>(s.options().stall_seconds, [&s, &script, &playing](unsigned seconds) {
            if (!playing)
                return "the chain was not set up within " + seconds_text(seconds) + ": " + stuck_in(s, script) +
                       "; nothing was written";
            return "no audio came through the chain for " + seconds_text(seconds) + ": " + stuck_in(s, script) +
                   "; nothing was written";
        });
    };
    if (!s.start_player(arm)) arm(s.scripting());
    component_host& host = s.player();
    check_chain_effects(host, s.prof().state.chain);
    component_scripting& script = s.scripting();
    part_file part = create_part_file(output);
    const std::wstring temp = part.path;
    exit_cleanup remove_on_interrupt(temp);
    // Owned here until the first chunk says how many channels to write.
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> part_stream(part.file, &std::fclose);
    const unsigned channels = reader.channels();
    const std::size_t chunk_frames = s.options().chunk_frames;
    std::vector<float> buffer(chunk_frames * channels);
    std::unique_ptr<wav_writer> writer;
    process_result result;
    result.input_channels = channels;
    result.sample_rate = reader.sample_rate();
    result.format = format;
    std::uint64_t read = 0;
    progress_bar progress(reader.frames(), !s.options().quiet);
    // The chain's delay taken out and the tail let in (delay_compensation.h).
    delay_compensation aligned(tail_frames(s.options().tail_seconds, reader.sample_rate()),
                               s.options().delay_compensation);
    bool input_over = false;

    playback_callbacks cb;
    // As played, the chunks come at the pace the player plays them.
    const auto paced_from = std::chrono::steady_clock::now();
    cb.produce = [&](dsp_chunk_list& list) {
        if (s.options().as_played && reader.sample_rate())
            std::this_thread::sleep_until(paced_from + std::chrono::microseconds(read * 1000000 / reader.sample_rate()));
        std::size_t n = input_over ? 0 : reader.read(buffer.data(), chunk_frames);
        if (n > 0) {
            read += n;
            progress.update(read);
        } else {
            if (!input_over) {
                input_over = true;
                aligned.input_ended(read);
                std::fill(buffer.begin(), buffer.end(), 0.0f);
            }
            n = aligned.silence_to_feed(chunk_frames);
            if (n == 0) return false;
        }
        auto* chunk = static_cast<audio_chunk_impl*>(list.insert_item(0));
        chunk->set_data(buffer.data(), n, channels, reader.sample_rate(), audio_chunk::default_channel_mask(channels));
        return true;
    };
    cb.consume = [&](dsp_chunk_list& list) {
        // The plug-ins know their delays once they have had a chunk.
        if (!aligned.delay_known()) aligned.set_delay(chain_delay(s.prof().state.chain, script.activity()));
        for (std::size_t i = 0; i < list.get_count(); ++i) {
            audio_chunk* c = list.get_item(i);
            if (!writer)
                writer = std::make_unique<wav_writer>(part_stream.release(), temp, c->get_channels(),
                                                      c->get_sample_rate(), format);
            if (c->get_channels() != writer->channels())
                throw cli_error("the chain changed its channel count in the middle of the file");
            const delay_compensation::span kept = aligned.take(c->get_sample_count());
            const float* from = c->get_data() + kept.skip * c->get_channels();
            writer->write(from, kept.keep);
            result.stats.add(from, kept.keep, c->get_channels());
        }
        stalls->progress();
    };

    const auto started = std::chrono::steady_clock::now();
    try {
        stalls->progress();
        playing = true;
        try {
            play(host, cb);
            // Writing the file out, however slow a disk is, is no plug-in's
            // doing: the watch ends with the playback.
            stalls.reset();
        } catch (const playback_thread_ended&) {
            // What it was in keeps its locks: nothing of the run can be
            // trusted to finish, not even the component's clean-up.
            end_now("the playback thread ended inside a plug-in: " + stuck_in(s, script) + "; nothing was written",
                    1);
        }
        if (!writer)
            writer = std::make_unique<wav_writer>(part_stream.release(), temp, channels, reader.sample_rate(), format);
        result.output_channels = writer->channels();
        if (!keep_part_file(part)) throw cli_error("cannot keep the output file " + wide_to_utf8(output));
        writer->finish();
        writer.reset();
        if (!MoveFileExW(temp.c_str(), output.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
            throw cli_error("cannot write the output file " + wide_to_utf8(output));
    } catch (...) {
        stalls.reset();
        writer.reset();
        part_stream.reset();
        DeleteFileW(temp.c_str());
        // Whatever failed the job, a move still holds; failing to keep it
        // must not hide what did.
        try {
            keep_moves(script);
        } catch (...) {
        }
        throw;
    }
    keep_moves(script);
    progress.finish();
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    result.frames = read;
    result.delay_frames = aligned.delay();
    result.delay_compensated = aligned.compensates();
    result.output_frames = aligned.written();
    result.warning = non_finite_warning(s, script, result.stats, format);
    result.late = late_positions(s, script);
    result.restarted = restarted_positions(s, script);
    return result;
}

void print_summary(const process_result& r, const std::wstring& output) {
    const double duration = r.sample_rate ? static_cast<double>(r.frames) / r.sample_rate : 0.0;
    std::printf("Processed %llu frames (%.2f s at %u Hz): %u channel%s in, %u out\n",
                static_cast<unsigned long long>(r.frames), duration, r.sample_rate, r.input_channels,
                r.input_channels == 1 ? "" : "s", r.output_channels);
    for (std::size_t c = 0; c < r.stats.channels(); ++c) {
        std::printf("  channel %zu: peak %s, RMS %s", c + 1, dbfs(r.stats.peak(c)).c_str(), dbfs(r.stats.rms(c)).c_str());
        if (const std::size_t odd = r.stats.non_finite(c))
            std::printf(" (%zu sample%s that %s no finite number%s left out)", odd, odd == 1 ? "" : "s",
                        odd == 1 ? "was" : "were", odd == 1 ? "" : "s");
        std::printf("\n");
    }
    print_delay_summary(r);
    if (r.seconds > 0 && duration > 0) std::printf("Speed: %.1fx real time\n", duration / r.seconds);
    std::printf("Wrote %s, %s\n", shown_path(output).c_str(), format_name(r.format).c_str());
    if (!r.warning.empty()) {
        std::fflush(stdout);
        std::fprintf(stderr, "orvane: warning: %s\n", r.warning.c_str());
    }
    for (const std::string& late : r.late) {
        std::fflush(stdout);
        std::fprintf(stderr, "orvane: warning: %s\n", late.c_str());
    }
    for (const std::string& restarted : r.restarted) {
        std::fflush(stdout);
        std::fprintf(stderr, "orvane: warning: %s\n", restarted.c_str());
    }
}

void cmd_process(session& s, const args& a) {
    if (a.size() != 2) throw cli_error("usage: orvane process INPUT.wav OUTPUT.wav", 2);
    std::wstring output = utf8_to_wide(a[1]);
    process_result r = run_process_job(s, utf8_to_wide(a[0]), output);
    print_summary(r, output);
}

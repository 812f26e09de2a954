#pragma once
// What the playback chain runs for a chain position of one of our slots:
// it holds one reference to the shared plug-in and hands it every chunk.
#include "../host/dsp.h"
#include "../vst/vst_ref.h"

class dsp_instance : public dsp_impl_base_t<dsp_v2> {
public:
    explicit dsp_instance(vst_ref plugin) : plugin_(std::move(plugin)) {}
    // Runs silence through the plug-in, then lets go of it (any thread).
    ~dsp_instance();
    dsp_instance(const dsp_instance&) = delete;
    dsp_instance& operator=(const dsp_instance&) = delete;

    bool query(service_base*& out, const GUID& guid) override {
        return answer_query<dsp_instance, dsp_v2, dsp>(this, out, guid);
    }
    void flush() override {}
    // 0.0, or with "Report plug-in delay to the player" the plug-in's
    // reported delay (any thread).
    double latency() override;
    bool needs_track_change_marks() override { return true; }
    void on_end_of_track(abort_callback&) override {}
    void on_end_of_playback(abort_callback&) override {}
    bool on_chunk(audio_chunk* chunk, abort_callback& abort) override;

    vst* plugin() const { return plugin_.get(); }

private:
    vst_ref plugin_;
};

#pragma once
// DSP effects: the entry that names an effect and creates instances of it,
// and the instance that the playback chain runs chunk lists through.
#include <windows.h>

#include "abort.h"
#include "audio_chunk.h"
#include "dsp_preset.h"
#include "service.h"
#include "string_base.h"

// Opaque handle of the track being played.
struct track_info;
using track_handle = const track_info*;

class dsp : public service_base {
public:
    using service_class = dsp;
    static constexpr GUID class_guid = {0x2A42AFEA, 0x940B, 0x455B, {0xAE, 0xFF, 0xCF, 0xDA, 0xCA, 0xF5, 0x2A, 0xFF}};
    enum run_flags : int { flag_end_of_track = 1, flag_flush = 2 };

    virtual void run(dsp_chunk_list* list, track_handle track, int flags) = 0;   // 3
    virtual void flush() = 0;                                                     // 4
    virtual double latency() = 0;                                                 // 5, seconds
    virtual bool needs_track_change_marks() = 0;                                  // 6
};

class dsp_v2 : public dsp {
public:
    static constexpr GUID class_guid = {0x9FB1DA49, 0xAF6F, 0x4FD2, {0x9C, 0x73, 0x48, 0xA8, 0xA1, 0x09, 0x00, 0x3B}};
    virtual void run_v2(dsp_chunk_list* list, track_handle track, int flags, abort_callback& abort) = 0;  // 7
};

// Runs the chunk loop and leaves each chunk to `on_chunk`.
template <class Base>
class dsp_impl_base_t : public Base {
public:
    void run(dsp_chunk_list* list, track_handle track, int flags) override {
        abort_callback_dummy abort;
        run_v2(list, track, flags, abort);
    }
    void run_v2(dsp_chunk_list* list, track_handle track, int flags, abort_callback& abort) override {
        dsp_chunk_list* saved_list = list_;
        track_handle saved_track = track_;
        list_ = list;
        track_ = track;
        index_ = 0;
        while (index_ < list->get_count()) {
            audio_chunk* chunk = list->get_item(index_);
            if (chunk->is_empty() || !on_chunk(chunk, abort))
                list->remove_by_index(index_);
            else
                ++index_;
        }
        if (flags & dsp::flag_flush)
            on_end_of_playback(abort);
        else if ((flags & dsp::flag_end_of_track) && this->needs_track_change_marks())
            on_end_of_track(abort);
        list_ = saved_list;
        track_ = saved_track;
    }
    virtual void on_end_of_track(abort_callback& abort) = 0;                  // 8
    virtual void on_end_of_playback(abort_callback& abort) = 0;               // 9
    // Answers false to drop the chunk from the stream.
    virtual bool on_chunk(audio_chunk* chunk, abort_callback& abort) = 0;     // 10

protected:
    track_handle current_track() const { return track_; }

private:
    dsp_chunk_list* list_ = nullptr;
    std::size_t index_ = 0;
    track_handle track_ = nullptr;
};

// Receives presets from a configuration popup. Not a service.
class dsp_preset_edit_callback {
public:
    virtual void on_preset_changed(const dsp_preset& preset) = 0;

protected:
    ~dsp_preset_edit_callback() = default;
};

class dsp_entry : public service_base {
public:
    using service_class = dsp_entry;
    static constexpr GUID class_guid = {0x0D048731, 0x8AA8, 0x4704, {0x8A, 0xD6, 0x18, 0x9E, 0x24, 0xD4, 0x8C, 0x88}};

    virtual void get_name(string_base& out) = 0;                                            // 3
    virtual bool get_default_preset(dsp_preset& out) = 0;                                   // 4
    virtual bool instantiate(service_ptr_t<dsp>& out, const dsp_preset& preset) = 0;        // 5
    virtual GUID get_guid() = 0;                                                            // 6
    virtual bool has_config_popup() = 0;                                                    // 7
    // Answers true when the preset was changed.
    virtual bool show_config_popup(dsp_preset& preset, HWND parent) = 0;                    // 8
};

class dsp_entry_v2 : public dsp_entry {
public:
    static constexpr GUID class_guid = {0x9EC5D45E, 0x10F5, 0x46A7, {0x95, 0x46, 0xF3, 0xAC, 0xEC, 0x68, 0xB1, 0x49}};
    virtual void show_config_popup_v2(const dsp_preset& preset, HWND parent,
                                      dsp_preset_edit_callback& callback) = 0;             // 9
};

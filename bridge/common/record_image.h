#pragma once
// The plug-in's record as it crosses (record_image), to and from the
// record itself: the bridge takes an image of the plug-in's record after
// every call, the player's side puts it into its stand-in record. One list
// of fields serves both directions. `Record` is the interface's AEffect
// (each side includes its declaration; this file needs none).
#include "protocol.h"

namespace bridge {

// Calls `pair(record field, image field)` for every field that crosses.
template <class Record, class Image, class Pair>
void for_each_record_field(Record& record, Image& image, Pair pair) {
    pair(record.magic, image.magic);
    pair(record.numPrograms, image.num_programs);
    pair(record.numParams, image.num_params);
    pair(record.numInputs, image.num_inputs);
    pair(record.numOutputs, image.num_outputs);
    pair(record.flags, image.flags);
    pair(record.initialDelay, image.initial_delay);
    pair(record.realQualities, image.real_qualities);
    pair(record.offQualities, image.off_qualities);
    pair(record.ioRatio, image.io_ratio);
    pair(record.uniqueID, image.unique_id);
    pair(record.version, image.version);
}

// Which of the record's functions are set, as `function_*` bits.
template <class Record>
std::uint32_t function_bits(const Record& r) {
    return (r.dispatcher ? function_dispatcher : 0) | (r.process ? function_process : 0) |
           (r.setParameter ? function_set_parameter : 0) | (r.getParameter ? function_get_parameter : 0) |
           (r.processReplacing ? function_process_replacing : 0) |
           (r.processDoubleReplacing ? function_process_double : 0);
}

// The bridge's side: the image of the plug-in's record. The record is the
// plug-in's memory: call this under the crash guard.
template <class Record>
void take_image(const Record& record, record_image& image) {
    for_each_record_field(record, image, [](const auto& from, auto& to) { to = from; });
    image.functions = function_bits(record);
}

// The player's side: the image's fields into the stand-in record (its
// functions are the player's own, set from `functions` by the caller).
template <class Record>
void put_image(const record_image& image, Record& record) {
    for_each_record_field(record, image, [](auto& to, const auto& from) { to = from; });
}

}  // namespace bridge

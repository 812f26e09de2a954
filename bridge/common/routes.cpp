#include "routes.h"

#include "../../plugin_api/aeffect.h"

namespace bridge {

namespace {

constexpr route k_routes[] = {
    // The player's calls of the plug-in's dispatcher.
    {direction::to_plugin, effOpen, pointer_none, lane_control, hang_limit::open},
    {direction::to_plugin, effEditOpen, pointer_window, lane_control, hang_limit::open},
    {direction::to_plugin, effSetProgramName, pointer_text_in, lane_control, hang_limit::call},
    {direction::to_plugin, effCanDo, pointer_text_in, lane_control, hang_limit::call},
    {direction::to_plugin, effGetProgramName, pointer_text_out, lane_control, hang_limit::call},
    {direction::to_plugin, effGetParamLabel, pointer_text_out, lane_control, hang_limit::call},
    {direction::to_plugin, effGetParamDisplay, pointer_text_out, lane_control, hang_limit::call},
    {direction::to_plugin, effGetParamName, pointer_text_out, lane_control, hang_limit::call},
    {direction::to_plugin, effGetEffectName, pointer_text_out, lane_control, hang_limit::call},
    {direction::to_plugin, effGetVendorString, pointer_text_out, lane_control, hang_limit::call},
    {direction::to_plugin, effGetProductString, pointer_text_out, lane_control, hang_limit::call},
    {direction::to_plugin, effEditGetRect, pointer_rect_out, lane_control, hang_limit::call},
    {direction::to_plugin, effGetChunk, pointer_chunk_out, lane_control, hang_limit::chunk},
    {direction::to_plugin, effSetChunk, pointer_chunk_in, lane_control, hang_limit::chunk},
    // Sent by the audio thread around its blocks: they go with the audio,
    // not behind an editor or a chunk on the control lane. A plug-in may
    // take its time with them (a reverb loads its impulse on resume, a
    // plug-in sets up other ports for a new layout).
    {direction::to_plugin, effSetSampleRate, pointer_none, lane_audio, hang_limit::open},
    {direction::to_plugin, effSetBlockSize, pointer_none, lane_audio, hang_limit::open},
    {direction::to_plugin, effMainsChanged, pointer_none, lane_audio, hang_limit::open},
    {direction::to_plugin, effSetSpeakerArrangement, pointer_arrangements, lane_audio, hang_limit::open},
    {direction::to_plugin, effClose, pointer_none, lane_control, hang_limit::call},
    {direction::to_plugin, effSetProgram, pointer_none, lane_control, hang_limit::call},
    {direction::to_plugin, effGetProgram, pointer_none, lane_control, hang_limit::call},
    {direction::to_plugin, effEditClose, pointer_none, lane_control, hang_limit::call},
    {direction::to_plugin, effEditIdle, pointer_none, lane_control, hang_limit::call},
    {direction::to_plugin, effGetPlugCategory, pointer_none, lane_control, hang_limit::call},
    {direction::to_plugin, effGetVendorVersion, pointer_none, lane_control, hang_limit::call},
    // The plug-in's calls of its host that carry more than numbers.
    {direction::to_host, audioMasterCanDo, pointer_text_in, lane_control, hang_limit::call},
    {direction::to_host, audioMasterGetVendorString, pointer_text_out, lane_control, hang_limit::call},
    {direction::to_host, audioMasterGetProductString, pointer_text_out, lane_control, hang_limit::call},
    {direction::to_host, audioMasterGetDirectory, pointer_text_answer, lane_control, hang_limit::call},
};

const route* find(direction way, std::int32_t opcode) {
    for (const route& r : k_routes)
        if (r.way == way && r.opcode == opcode) return &r;
    return nullptr;
}

}  // namespace

route route_of(direction way, std::int32_t opcode) {
    if (const route* r = find(way, opcode)) return *r;
    return {way, opcode, pointer_none, lane_control, hang_limit::call};
}

bool has_route(direction way, std::int32_t opcode) { return find(way, opcode) != nullptr; }

}  // namespace bridge

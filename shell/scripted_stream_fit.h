#pragma once
// How a listed plug-in would meet a stream with "Match plug-in channels to
// the stream" on, found out by loading it: for the scripting interface.
// Failures are script_error. Main thread.
#include <cstdint>

#include "../host/vst_scripting.h"

// The entry at `position`, if it still carries `identifier`, loaded where
// it runs, offered the layout of `channels` channels with `mask`, closed.
vst_script_stream_fit scripted_stream_fit(std::uint32_t position, const GUID& identifier, std::uint32_t channels,
                                          std::uint32_t mask);

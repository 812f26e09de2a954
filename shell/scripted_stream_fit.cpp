#include "scripted_stream_fit.h"

#include "../Helpers/one_line.h"
#include "../vst/stream_match.h"
#include "../vst/vst.h"
#include "script_error.h"
#include "scripted_list.h"

vst_script_stream_fit scripted_stream_fit(std::uint32_t position, const GUID& identifier, std::uint32_t channels,
                                          std::uint32_t mask) {
    if (channels == 0 || channels > channel_instances::k_max + 1)
        throw script_error(vst_script_bad_argument, "a stream has 1 to " +
                                                        std::to_string(channel_instances::k_max + 1) +
                                                        " channels, not " + std::to_string(channels));
    const entry_list list = scripted_list();
    if (position >= list.size())
        throw script_error(vst_script_out_of_range, "no plug-in at list position " + std::to_string(position));
    const entry& configured = *list[position];
    if (configured.identifier != identifier)
        throw script_error(vst_script_refused, "the plug-in list changed: position " + std::to_string(position) +
                                                   " now holds " + configured.product_name);
    vst plugin(configured, false);
    if (!plugin.loaded) throw script_error(vst_script_refused, one_line(plugin.diagnosis));
    const stream_fit fit = fit_stream(plugin, channels, mask);
    // Each instance's ports as they are now that it was offered the layout.
    return {plugin_port_count(plugin.effect->numInputs), plugin_port_count(plugin.effect->numOutputs),
            fit.instances, fit.keep_layout ? vst_script_fit_keeps_layout : 0u};
}
